#include "VfsFallos.h"

#include <atomic>
#include <cstring>
#include <sqlite3.h>

namespace vfsfallos {
namespace {
struct Estado
{
    long long limite = -1;
    long long bytes = 0;
    int escrituras = 0;
    int parada = 0;
    bool aMedias = false;
    std::function<void()> alParar;
    bool soloLectura = false;
};

Estado& estado()
{
    static Estado e;
    return e;
}

sqlite3_vfs* real = nullptr;
sqlite3_vfs vfs;

// Archivo propio seguido, en la misma memoria, del archivo del sistema de siempre.
struct Archivo
{
    sqlite3_file base;
    sqlite3_file* deVerdad() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

sqlite3_file* de(sqlite3_file* f)
{
    return reinterpret_cast<Archivo*>(f)->deVerdad();
}
const sqlite3_io_methods* m(sqlite3_file* f)
{
    return de(f)->pMethods;
}

int cerrar(sqlite3_file* f)
{
    return m(f)->xClose(de(f));
}
int leer(sqlite3_file* f, void* b, int n, sqlite3_int64 o)
{
    return m(f)->xRead(de(f), b, n, o);
}

int escribir(sqlite3_file* f, const void* b, int n, sqlite3_int64 o)
{
    Estado& e = estado();
    ++e.escrituras;
    if (e.parada > 0 && e.escrituras == e.parada && e.alParar) {
        if (e.aMedias && n > 1)
            m(f)->xWrite(de(f), b, n / 2, o);
        e.alParar();
    }
    if (e.limite >= 0 && e.bytes + n > e.limite)
        return SQLITE_FULL;
    e.bytes += n;
    return m(f)->xWrite(de(f), b, n, o);
}

int truncar(sqlite3_file* f, sqlite3_int64 t)
{
    return m(f)->xTruncate(de(f), t);
}
int sincronizar(sqlite3_file* f, int fl)
{
    return m(f)->xSync(de(f), fl);
}
int tamano(sqlite3_file* f, sqlite3_int64* t)
{
    return m(f)->xFileSize(de(f), t);
}
int bloquear(sqlite3_file* f, int n)
{
    return m(f)->xLock(de(f), n);
}
int desbloquear(sqlite3_file* f, int n)
{
    return m(f)->xUnlock(de(f), n);
}
int reservado(sqlite3_file* f, int* r)
{
    return m(f)->xCheckReservedLock(de(f), r);
}
int control(sqlite3_file* f, int op, void* a)
{
    return m(f)->xFileControl(de(f), op, a);
}
int sector(sqlite3_file* f)
{
    return m(f)->xSectorSize(de(f));
}
int caracteristicas(sqlite3_file* f)
{
    return m(f)->xDeviceCharacteristics(de(f));
}
int shmMap(sqlite3_file* f, int i, int t, int b, void volatile** p)
{
    return m(f)->iVersion >= 2 ? m(f)->xShmMap(de(f), i, t, b, p) : SQLITE_IOERR;
}
int shmLock(sqlite3_file* f, int o, int n, int fl)
{
    return m(f)->iVersion >= 2 ? m(f)->xShmLock(de(f), o, n, fl) : SQLITE_IOERR;
}
void shmBarrier(sqlite3_file* f)
{
    if (m(f)->iVersion >= 2)
        m(f)->xShmBarrier(de(f));
}
int shmUnmap(sqlite3_file* f, int b)
{
    return m(f)->iVersion >= 2 ? m(f)->xShmUnmap(de(f), b) : SQLITE_OK;
}
int fetch(sqlite3_file* f, sqlite3_int64 o, int n, void** p)
{
    if (m(f)->iVersion >= 3)
        return m(f)->xFetch(de(f), o, n, p);
    *p = nullptr;
    return SQLITE_OK;
}
int unfetch(sqlite3_file* f, sqlite3_int64 o, void* p)
{
    return m(f)->iVersion >= 3 ? m(f)->xUnfetch(de(f), o, p) : SQLITE_OK;
}

const sqlite3_io_methods metodos = {3,        cerrar,      leer,      escribir, truncar, sincronizar,     tamano,
                                    bloquear, desbloquear, reservado, control,  sector,  caracteristicas, shmMap,
                                    shmLock,  shmBarrier,  shmUnmap,  fetch,    unfetch};

int abrir(sqlite3_vfs*, sqlite3_filename nombre, sqlite3_file* f, int flags, int* salida)
{
    const auto esBase = [nombre] {
        const char* sufijo = "Evaluacion.mdb";
        const size_t n = nombre ? std::strlen(nombre) : 0, m = std::strlen(sufijo);
        return n >= m && std::strcmp(nombre + n - m, sufijo) == 0;
    };
    if (estado().soloLectura && (flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READWRITE) && esBase()) {
        flags &= ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        flags |= SQLITE_OPEN_READONLY;
    }
    Archivo* a = reinterpret_cast<Archivo*>(f);
    a->base.pMethods = nullptr;
    const int rc = real->xOpen(real, nombre, a->deVerdad(), flags, salida);
    if (rc == SQLITE_OK && a->deVerdad()->pMethods)
        a->base.pMethods = &metodos;
    return rc;
}

int borrar(sqlite3_vfs*, const char* n, int s)
{
    return real->xDelete(real, n, s);
}
int acceso(sqlite3_vfs*, const char* n, int fl, int* r)
{
    return real->xAccess(real, n, fl, r);
}
int rutaCompleta(sqlite3_vfs*, const char* n, int t, char* s)
{
    return real->xFullPathname(real, n, t, s);
}
void* dlAbrir(sqlite3_vfs*, const char* n)
{
    return real->xDlOpen(real, n);
}
void dlError(sqlite3_vfs*, int n, char* s)
{
    real->xDlError(real, n, s);
}
void (*dlSimbolo(sqlite3_vfs*, void* p, const char* s))(void)
{
    return real->xDlSym(real, p, s);
}
void dlCerrar(sqlite3_vfs*, void* p)
{
    real->xDlClose(real, p);
}
int azar(sqlite3_vfs*, int n, char* s)
{
    return real->xRandomness(real, n, s);
}
int dormir(sqlite3_vfs*, int us)
{
    return real->xSleep(real, us);
}
int hora(sqlite3_vfs*, double* t)
{
    return real->xCurrentTime(real, t);
}
int ultimoError(sqlite3_vfs*, int n, char* s)
{
    return real->xGetLastError ? real->xGetLastError(real, n, s) : 0;
}
int hora64(sqlite3_vfs*, sqlite3_int64* t)
{
    return real->xCurrentTimeInt64(real, t);
}
} // namespace

void instalar()
{
    if (real)
        return;
    sqlite3_initialize();
    real = sqlite3_vfs_find(nullptr);
    std::memset(&vfs, 0, sizeof vfs);
    vfs.iVersion = 2;
    vfs.szOsFile = int(sizeof(Archivo)) + real->szOsFile;
    vfs.mxPathname = real->mxPathname;
    vfs.zName = "fallos";
    vfs.xOpen = abrir;
    vfs.xDelete = borrar;
    vfs.xAccess = acceso;
    vfs.xFullPathname = rutaCompleta;
    vfs.xDlOpen = dlAbrir;
    vfs.xDlError = dlError;
    vfs.xDlSym = dlSimbolo;
    vfs.xDlClose = dlCerrar;
    vfs.xRandomness = azar;
    vfs.xSleep = dormir;
    vfs.xCurrentTime = hora;
    vfs.xGetLastError = ultimoError;
    vfs.xCurrentTimeInt64 = hora64;
    sqlite3_vfs_register(&vfs, 1);
}

void desarmar()
{
    Estado& e = estado();
    e = Estado();
}

void limitarEspacio(long long bytes)
{
    estado().limite = bytes < 0 ? -1 : estado().bytes + bytes;
}

long long bytesEscritos()
{
    return estado().bytes;
}

int escrituras()
{
    return estado().escrituras;
}

void pararEnEscritura(int n, bool aMedias, std::function<void()> parada)
{
    Estado& e = estado();
    e.parada = e.escrituras + n;
    e.aMedias = aMedias;
    e.alParar = std::move(parada);
}

void soloLectura(bool activo)
{
    estado().soloLectura = activo;
}
} // namespace vfsfallos
