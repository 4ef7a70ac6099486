#include "shell/grid/CellTip.h"

#include <QApplication>
#include <QPalette>

QColor CellTip::oleColor(quint32 ole)
{
    if (ole & 0x80000000u) {
        const QPalette p = QApplication::palette();
        switch (ole & 0xFFu) {
        case 0x05:
            return p.color(QPalette::Base);
        case 0x08:
            return p.color(QPalette::Text);
        case 0x0D:
            return p.color(QPalette::Highlight);
        case 0x0E:
            return p.color(QPalette::HighlightedText);
        case 0x0F:
            return p.color(QPalette::Button);
        case 0x10:
            return p.color(QPalette::Dark);
        case 0x11:
            return p.color(QPalette::Disabled, QPalette::Text);
        case 0x12:
            return p.color(QPalette::ButtonText);
        case 0x14:
            return p.color(QPalette::Light);
        case 0x17:
            return p.color(QPalette::ToolTipText);
        case 0x18:
            return p.color(QPalette::ToolTipBase);
        default:
            return p.color(QPalette::Window);
        }
    }
    // El orden de siempre es azul, verde, rojo.
    return QColor(int(ole & 0xFF), int((ole >> 8) & 0xFF), int((ole >> 16) & 0xFF));
}
