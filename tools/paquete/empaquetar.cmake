# Empaqueta la carpeta del programa en un .tar.gz listo para descomprimir y usar.
#   cmake -DPROGRAMA=<carpeta del programa> -DENTREGA=<carpeta de la base entregada>
#         -DNOMBRE=<carpeta raíz del paquete> -DDESTINO=<archivo .tar.gz> [-DSTRIP=<strip>]
#         -DEJECUTABLES=<nombres separados por ;> -P empaquetar.cmake
#
# Sólo entra lo que es del programa, nombrado uno a uno: los ejecutables, las plantillas, la
# ayuda y la base de datos tal como se entrega (vacía de empresas), tomada de la carpeta de
# entrega, y Catalogo.mdb, su copia intacta de la que Reparar repone el catálogo. La base de la
# carpeta del programa es la del usuario y no se empaqueta nunca, ni sus copias (las fechadas
# de Reparar, Evaluacion2.mdb, Copias/, Recuperacion/), ni los documentos que haya guardado allí.
cmake_minimum_required(VERSION 3.21)

foreach(variable PROGRAMA ENTREGA NOMBRE DESTINO EJECUTABLES)
    if(NOT DEFINED ${variable} OR "${${variable}}" STREQUAL "")
        message(FATAL_ERROR "empaquetar.cmake: falta -D${variable}=...")
    endif()
endforeach()

set(DOCUMENTOS_AYUDA
    "Empresas" "Inicio Evaluacion" "Puestos" "Factores" "Riesgos" "Medidas Preventivas" "Accion Preventiva")
set(DOCUMENTOS_INTRODUCCION "Antes de empezardef.pdf" "Conceptos basicos.pdf")
set(PLANTILLAS "Evaluacion.rpt" "Planificacion.rpt")
set(NOMBRE_CATALOGO "Catalogo.mdb")

# Origen de cada archivo y su ruta dentro del paquete.
set(ORIGENES)
set(RUTAS)
macro(anadir origen ruta)
    if(NOT EXISTS "${origen}")
        message(FATAL_ERROR "Falta ${origen}: compile antes el programa completo (cmake --build).")
    endif()
    list(APPEND ORIGENES "${origen}")
    list(APPEND RUTAS "${ruta}")
endmacro()

foreach(ejecutable IN LISTS EJECUTABLES)
    anadir("${PROGRAMA}/${ejecutable}" "${ejecutable}")
endforeach()
anadir("${ENTREGA}/Evaluacion.mdb" "Evaluacion.mdb")
anadir("${ENTREGA}/SYSTEM.mdw" "SYSTEM.mdw")
foreach(plantilla IN LISTS PLANTILLAS)
    anadir("${PROGRAMA}/Informes/${plantilla}" "Informes/${plantilla}")
endforeach()
foreach(documento IN LISTS DOCUMENTOS_AYUDA)
    anadir("${PROGRAMA}/Ayuda/${documento}.pdf" "Ayuda/${documento}.pdf")
endforeach()
foreach(documento IN LISTS DOCUMENTOS_INTRODUCCION)
    anadir("${PROGRAMA}/${documento}" "${documento}")
endforeach()

get_filename_component(DESTINO "${DESTINO}" ABSOLUTE)
get_filename_component(CARPETA_DESTINO "${DESTINO}" DIRECTORY)
set(PREPARACION "${DESTINO}.preparacion")
file(REMOVE_RECURSE "${PREPARACION}")
file(MAKE_DIRECTORY "${PREPARACION}/${NOMBRE}")

list(LENGTH ORIGENES total)
math(EXPR ultimo "${total} - 1")
foreach(i RANGE ${ultimo})
    list(GET ORIGENES ${i} origen)
    list(GET RUTAS ${i} ruta)
    get_filename_component(carpeta "${PREPARACION}/${NOMBRE}/${ruta}" DIRECTORY)
    file(MAKE_DIRECTORY "${carpeta}")
    # COPY conserva los permisos: los ejecutables siguen siéndolo al descomprimir.
    file(COPY "${origen}" DESTINATION "${carpeta}")
endforeach()

# La copia intacta del catálogo es la base entregada con otro nombre (COPY conservaría el suyo).
file(COPY_FILE "${ENTREGA}/Evaluacion.mdb" "${PREPARACION}/${NOMBRE}/${NOMBRE_CATALOGO}")
math(EXPR total "${total} + 1")

# Los ejecutables van sin la información de depuración: el paquete pesa mucho menos.
if(STRIP)
    foreach(ejecutable IN LISTS EJECUTABLES)
        execute_process(COMMAND "${STRIP}" --strip-debug "${PREPARACION}/${NOMBRE}/${ejecutable}"
                        RESULT_VARIABLE resultado)
        if(NOT resultado EQUAL 0)
            message(FATAL_ERROR "No se ha podido quitar la depuración de ${ejecutable}")
        endif()
    endforeach()
endif()

# Se escribe al lado y se pone en su sitio al final: un fallo no deja un paquete a medias.
file(MAKE_DIRECTORY "${CARPETA_DESTINO}")
set(TEMPORAL "${DESTINO}.parcial")
file(REMOVE "${TEMPORAL}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar czf "${TEMPORAL}" -- "${NOMBRE}"
                WORKING_DIRECTORY "${PREPARACION}" RESULT_VARIABLE resultado)
file(REMOVE_RECURSE "${PREPARACION}")
if(NOT resultado EQUAL 0)
    file(REMOVE "${TEMPORAL}")
    message(FATAL_ERROR "No se ha podido crear ${DESTINO}")
endif()
file(RENAME "${TEMPORAL}" "${DESTINO}")
message(STATUS "Paquete: ${DESTINO} (${total} archivos en ${NOMBRE}/)")
