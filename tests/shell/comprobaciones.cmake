evaluacion_gtest(prueba_comprobaciones ${CMAKE_CURRENT_SOURCE_DIR}/test_comprobaciones.cpp LIBS shell)
