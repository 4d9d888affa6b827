# cmake -DORDNER=<folder> -DNAMEN=<a,b,...> -P laufzeitordner.cmake
# Makes ORDNER/<name> for every name, empty and with mode 0700.
file(REMOVE_RECURSE ${ORDNER})
string(REPLACE "," ";" namen "${NAMEN}")
foreach(name IN LISTS namen)
  file(MAKE_DIRECTORY ${ORDNER}/${name})
  file(CHMOD ${ORDNER}/${name} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endforeach()
