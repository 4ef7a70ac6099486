# Copia un archivo a la carpeta del programa sólo si allí no existe: una compilación nueva
# nunca pisa la base de datos con las empresas del usuario.
if(NOT EXISTS "${DESTINO}")
    file(COPY_FILE "${ORIGEN}" "${DESTINO}")
    message(STATUS "Copiado ${DESTINO}")
endif()
