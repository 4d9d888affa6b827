# cmake -DPRUEFUNG=<pruefe_einbindungen.cmake> -DORDNER=<scratch> -P pruefe_pruefung.cmake
# The include check must catch a planted include that reaches up a layer.
file(REMOVE_RECURSE ${ORDNER})
file(WRITE ${ORDNER}/src/logik/gut.h "#include \"port/port.h\"\n")
file(WRITE ${ORDNER}/src/logik/boese.cpp "#include \"logik/gut.h\"\n#include \"fenster/module1.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DWURZEL=${ORDNER} -P ${PRUEFUNG}
                RESULT_VARIABLE ergebnis OUTPUT_VARIABLE ausgabe ERROR_VARIABLE ausgabe)
if(ergebnis EQUAL 0)
  message(FATAL_ERROR "Die Prüfung ließ eine Einbindung nach oben durch:\n${ausgabe}")
endif()
if(NOT ausgabe MATCHES "src/logik/boese.cpp: #include \"fenster/module1.h\"" OR ausgabe MATCHES "gut.h:")
  message(FATAL_ERROR "Die Prüfung nennt nicht genau die falsche Einbindung:\n${ausgabe}")
endif()
