#include "shell/grid/CellTip.h"

#include <QApplication>
#include <QPalette>

namespace {
// Los colores del sistema que se usan, por su número (el byte bajo de &H800000nn).
struct ColorSistema
{
    quint32 numero;
    QPalette::ColorGroup grupo;
    QPalette::ColorRole papel;
};

constexpr ColorSistema coloresSistema[] = {
    {0x05, QPalette::Current, QPalette::Base},        {0x08, QPalette::Current, QPalette::Text},
    {0x0D, QPalette::Current, QPalette::Highlight},   {0x0E, QPalette::Current, QPalette::HighlightedText},
    {0x0F, QPalette::Current, QPalette::Button},      {0x10, QPalette::Current, QPalette::Dark},
    {0x11, QPalette::Disabled, QPalette::Text},       {0x12, QPalette::Current, QPalette::ButtonText},
    {0x14, QPalette::Current, QPalette::Light},       {0x17, QPalette::Current, QPalette::ToolTipText},
    {0x18, QPalette::Current, QPalette::ToolTipBase},
};
} // namespace

QColor CellTip::oleColor(quint32 ole)
{
    if (ole & 0x80000000u) {
        const QPalette p = QApplication::palette();
        for (const ColorSistema& c : coloresSistema)
            if (c.numero == (ole & 0xFFu))
                return p.color(c.grupo, c.papel);
        return p.color(QPalette::Window);
    }
    // El orden de siempre es azul, verde, rojo.
    return QColor(int(ole & 0xFF), int((ole >> 8) & 0xFF), int((ole >> 16) & 0xFF));
}
