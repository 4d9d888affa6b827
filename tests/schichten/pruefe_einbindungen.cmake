# cmake -DWURZEL=<source tree> -P pruefe_einbindungen.cmake
# The folders are the layers: port/ (plain C++) < logik/ (QtCore) < befehle/
# (commands without a window) < fenster/ (widgets) < main.cpp. A file may
# include its own layer and those below; tests/<layer>/ likewise. Fails with
# every file and include that reaches up.
set(rang_port 0)
set(rang_logik 1)
set(rang_befehle 2)
set(rang_fenster 3)
set(verstoesse "")
file(GLOB_RECURSE dateien RELATIVE ${WURZEL}
     ${WURZEL}/src/*.h ${WURZEL}/src/*.cpp ${WURZEL}/tests/*.h ${WURZEL}/tests/*.cpp)
foreach(datei IN LISTS dateien)
  if(NOT datei MATCHES "^(src|tests)/(port|logik|befehle|fenster)/")
    continue()  # main.cpp, the tests of the program and the test support
  endif()
  set(eigene ${rang_${CMAKE_MATCH_2}})
  file(STRINGS ${WURZEL}/${datei} zeilen REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(zeile IN LISTS zeilen)
    if(zeile MATCHES "\"(port|logik|befehle|fenster)/[^\"]*\"")
      if(${rang_${CMAKE_MATCH_1}} GREATER eigene)
        string(STRIP "${zeile}" zeile)
        string(APPEND verstoesse "  ${datei}: ${zeile}\n")
      endif()
    endif()
  endforeach()
endforeach()
if(verstoesse)
  message(FATAL_ERROR "Einbindungen aus einer höheren Schicht:\n${verstoesse}")
endif()
list(LENGTH dateien anzahl)
message(STATUS "${anzahl} Dateien, keine Einbindung reicht nach oben")
