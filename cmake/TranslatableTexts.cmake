# Script mode (cmake -P): copies the program's sources into OUT_DIR/src with every
# SVLocalized("...") and SV_TEXT("...") spelled QT_TRANSLATE_NOOP("Sonavel", "..."), for lupdate
# to read. lupdate cannot be told this with an alias: a tr() alias takes its context from the
# enclosing class and drops calls in free functions, a translate() alias wants the context as
# its first argument, and the program looks every text up under "Sonavel".
# Inputs: SOURCE_DIR, SOURCES_FILE (a file holding a CMake list of absolute paths), OUT_DIR.
file(READ ${SOURCES_FILE} sources)
file(REMOVE_RECURSE ${OUT_DIR}/src)
foreach(path IN LISTS sources)
  file(RELATIVE_PATH relative ${SOURCE_DIR} ${path})
  file(READ ${path} text)
  string(REGEX REPLACE "(SVLocalized|SV_TEXT)\\([ \t\r\n]*\"" "QT_TRANSLATE_NOOP(\"Sonavel\", \""
         text "${text}")
  file(WRITE ${OUT_DIR}/src/${relative} "${text}")
endforeach()
