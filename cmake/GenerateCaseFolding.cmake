# Script mode: writes OUTPUT, the pairs of Unicode's simple case folding
# (the lines of INPUT, CaseFolding.txt, with status C or S) as C++
# initialisers {from, to}, in code point order as the file lists them.
file(STRINGS "${INPUT}" lines REGEX "^[0-9A-F]+; [CS]; [0-9A-F]+;")
set(body "// Generated at build time from the Unicode Character Database's CaseFolding.txt. Do not edit.\n")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^([0-9A-F]+); [CS]; ([0-9A-F]+);.*" "{0x\\1, 0x\\2}," pair "${line}")
  string(APPEND body "${pair}\n")
endforeach()
file(WRITE "${OUTPUT}" "${body}")
