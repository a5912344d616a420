# Writes OUTPUT, an ES module with the golden phrase of tests/support/GoldenPhrase.h and the spot frames of
# tests/support/FactoryPhrase.h, so that the page's self-test plays exactly what the native tests play.
file(READ "${PHRASE}" phrase)
file(READ "${SPOTS}" spots)
string(REGEX MATCH "kPhrase = {([^;]*)};" block "${phrase}")
string(REGEX MATCHALL "{[ ]*[0-9]+,[ ]*0x[0-9A-Fa-f]+,[ ]*[0-9]+,[ ]*[0-9]+}" messages "${block}")
list(LENGTH messages count)
if(count LESS 1)
  message(FATAL_ERROR "no messages found in ${PHRASE}")
endif()
set(js "")
foreach(m ${messages})
  string(REGEX REPLACE "[{} ]" "" m "${m}")
  string(APPEND js "  [${m}],\n")
endforeach()
string(REGEX MATCH "kPhraseFrames = ([0-9]+);" _ "${phrase}")
set(frames ${CMAKE_MATCH_1})
string(REGEX MATCH "kSpotFrames\\[\\] = {([0-9, ]+)};" _ "${spots}")
set(spotFrames ${CMAKE_MATCH_1})
if(NOT frames OR NOT spotFrames)
  message(FATAL_ERROR "the phrase's length or spot frames were not found")
endif()
file(WRITE "${OUTPUT}"
"// Generated from tests/support/GoldenPhrase.h and FactoryPhrase.h at build time; do not edit.\n"
"// [frame, status, data 1, data 2] at 44100 Hz, 120 beats per minute.\n"
"export const kPhrase = [\n${js}];\n"
"export const kPhraseFrames = ${frames};\n"
"export const kPhraseRate = 44100;\n"
"export const kSpotFrames = [${spotFrames}];\n")
