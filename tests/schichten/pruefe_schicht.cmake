# cmake -DBAUORDNER=... -DZIEL=... -DKOPF=... -P pruefe_schicht.cmake
# Builds ZIEL and succeeds only if that fails because KOPF cannot be found.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BAUORDNER} --target ${ZIEL}
                RESULT_VARIABLE ergebnis OUTPUT_VARIABLE ausgabe ERROR_VARIABLE ausgabe)
if(ergebnis EQUAL 0)
  message(FATAL_ERROR "${ZIEL}: <${KOPF}> ließ sich einbinden, die Schicht ist nicht getrennt")
endif()
string(FIND "${ausgabe}" "${KOPF}: No such file or directory" stelle)
if(stelle EQUAL -1)
  message(FATAL_ERROR "${ZIEL} scheiterte aus einem anderen Grund:\n${ausgabe}")
endif()
message(STATUS "${ZIEL}: <${KOPF}> ist dort nicht erreichbar")
