# quavette-midi as a user runs it: info over good and bad files, render to WAV.
# cmake -DTOOL=... -DDATA=... -DOUT=... -P quavette_midi_test.cmake
file(MAKE_DIRECTORY ${OUT})
set(FONT /usr/share/sounds/sf2/TimGM6mb.sf2)


execute_process(COMMAND ${TOOL} info ${DATA}/jazzsoft__test-c-major-scale.mid ${DATA}/nfroidure__MIDIOkFormat2.mid
  RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT (rc EQUAL 0))
  message(FATAL_ERROR "info on readable files exited ${rc}")
endif()
string(FIND "${out}" "${DATA}/jazzsoft__test-c-major-scale.mid\tok\t4000\t0\t1\n" at)
if(at EQUAL -1)
  message(FATAL_ERROR "unexpected info line: ${out}")
endif()
string(FIND "${out}" "${DATA}/nfroidure__MIDIOkFormat2.mid\tok\t3958\t2\t9\n" at)
if(at EQUAL -1)
  message(FATAL_ERROR "unexpected info line: ${out}")
endif()

execute_process(COMMAND ${TOOL} info ${DATA}/jazzsoft__test-c-major-scale.mid ${DATA}/jazzsoft__test-not-a-midi-file.mid
  RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(rc EQUAL 0)
  message(FATAL_ERROR "info with an unreadable file exited 0")
endif()
string(FIND "${out}" "${DATA}/jazzsoft__test-not-a-midi-file.mid\terror\tThe file is not a MIDI file.\n" at)
if(at EQUAL -1)
  message(FATAL_ERROR "unexpected info line: ${out}")
endif()

execute_process(COMMAND ${TOOL} render --soundfont ${FONT} ${DATA}/jazzsoft__test-c-major-scale.mid ${OUT}/scale.wav
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT (rc EQUAL 0))
  message(FATAL_ERROR "render failed (${rc}): ${err}")
endif()
file(SIZE ${OUT}/scale.wav size)
# 4 s of 16-bit stereo at 44.1 kHz, plus at most 10 s of fading tail.
math(EXPR least "44 + 4 * 44100 * 4")
math(EXPR most "44 + 14 * 44100 * 4 + 4096 * 4")
if(NOT (size GREATER_EQUAL least AND size LESS_EQUAL most))
  message(FATAL_ERROR "WAV file of ${size} bytes")
endif()
file(READ ${OUT}/scale.wav head LIMIT 44 HEX)
string(SUBSTRING "${head}" 0 8 riff)
string(SUBSTRING "${head}" 48 8 rate)
if(NOT (riff STREQUAL "52494646" AND rate STREQUAL "44ac0000"))
  message(FATAL_ERROR "not a 44.1 kHz RIFF file: ${head}")
endif()

execute_process(COMMAND ${TOOL} render --soundfont ${FONT} ${DATA}/jazzsoft__test-not-a-midi-file.mid ${OUT}/bad.wav
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(rc EQUAL 0)
  message(FATAL_ERROR "render of a non-MIDI file exited 0")
endif()
string(FIND "${err}" "The file is not a MIDI file." at)
if(at EQUAL -1)
  message(FATAL_ERROR "render error text: ${err}")
endif()
