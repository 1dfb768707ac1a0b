# quavette-midi as a user runs it: info over good and bad files, render to WAV.
# cmake -DTOOL=... -DLOOPSONG_MAKER=... -DDATA=... -DOUT=... -P quavette_midi_test.cmake
file(MAKE_DIRECTORY ${OUT})
set(FONT /usr/share/sounds/sf2/TimGM6mb.sf2)
set(OTHER_FONT /usr/share/sounds/sf2/FluidR3_GM.sf2)
# No SoundFont chosen in the player, whoever runs the test.
file(REMOVE_RECURSE ${OUT}/config)
set(ENV{XDG_CONFIG_HOME} ${OUT}/config)

execute_process(COMMAND ${TOOL} info ${DATA}/jazzsoft__test-c-major-scale.mid ${DATA}/nfroidure__MIDIOkFormat2.mid
  RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT (rc EQUAL 0))
  message(FATAL_ERROR "info on readable files exited ${rc}")
endif()
string(FIND "${out}" "${DATA}/jazzsoft__test-c-major-scale.mid\tok\t4000\t0\t1\t" at)
if(at EQUAL -1)
  message(FATAL_ERROR "unexpected info line: ${out}")
endif()
string(FIND "${out}" "${DATA}/nfroidure__MIDIOkFormat2.mid\tok\t3958\t2\t9\t" at)
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

# The SoundFont: the one chosen in the player, a song's own beside it (letter
# case ignored), and --soundfont over both.
file(MAKE_DIRECTORY ${OUT}/config/Kestrix ${OUT}/own)
file(WRITE ${OUT}/config/Kestrix/Quavette.conf "[Option]\nSoundFont=${FONT}\n")
file(COPY_FILE ${DATA}/jazzsoft__test-c-major-scale.mid ${OUT}/own/song.mid)
file(CREATE_LINK ${OTHER_FONT} ${OUT}/own/SONG.Sf2 SYMBOLIC)
execute_process(COMMAND ${TOOL} info ${DATA}/jazzsoft__test-c-major-scale.mid ${OUT}/own/song.mid OUTPUT_VARIABLE out)
string(FIND "${out}" "scale.mid\tok\t4000\t0\t1\t${FONT}\t-\t-\t-\n" at_chosen)
string(FIND "${out}" "song.mid\tok\t4000\t0\t1\t${OUT}/own/SONG.Sf2\t-\t-\t-\n" at_own)
if(at_chosen EQUAL -1 OR at_own EQUAL -1)
  message(FATAL_ERROR "info does not name the SoundFonts: ${out}")
endif()
foreach(run own chosen other)
  set(args ${OUT}/own/song.mid ${OUT}/${run}.wav)
  if(run STREQUAL "chosen")
    set(args --soundfont ${FONT} ${args})
  elseif(run STREQUAL "other")
    set(args --soundfont ${OTHER_FONT} ${args})
  endif()
  execute_process(COMMAND ${TOOL} render ${args} RESULT_VARIABLE rc)
  if(NOT (rc EQUAL 0))
    message(FATAL_ERROR "render ${args} exited ${rc}")
  endif()
  file(MD5 ${OUT}/${run}.wav md5_${run})
endforeach()
if(NOT (md5_own STREQUAL md5_other) OR md5_own STREQUAL md5_chosen)
  message(FATAL_ERROR "render did not play the song's own SoundFont, or --soundfont did not override it")
endif()


# The seventh info column: the convention a song is written for.
execute_process(COMMAND ${TOOL} info ${DATA}/jazzsoft__test-all-gs-sounds.mid OUTPUT_VARIABLE out)
if(NOT out MATCHES "\tok\t[0-9]+\t[0-9]\t[0-9]+\t[^\t]+\tGS\t-\t-\n$")
  message(FATAL_ERROR "info does not name the GS convention: ${out}")
endif()

# Several songs into one file, one after another; a bad one anywhere in the
# list leaves no WAV file.
execute_process(COMMAND ${TOOL} render --soundfont ${FONT} ${DATA}/jazzsoft__test-c-major-scale.mid
                        ${DATA}/jazzsoft__test-c-major-scale.mid ${OUT}/two.wav RESULT_VARIABLE rc)
file(SIZE ${OUT}/two.wav size)
math(EXPR least "44 + 8 * 44100 * 4")
math(EXPR most "44 + 18 * 44100 * 4 + 4096 * 4")
if(NOT (rc EQUAL 0 AND size GREATER_EQUAL least AND size LESS_EQUAL most))
  message(FATAL_ERROR "render of two songs exited ${rc} with ${size} bytes")
endif()
execute_process(COMMAND ${TOOL} render --soundfont ${FONT} ${DATA}/jazzsoft__test-c-major-scale.mid
                        ${DATA}/jazzsoft__test-not-a-midi-file.mid ${OUT}/partly.wav
  RESULT_VARIABLE rc ERROR_VARIABLE err)
string(FIND "${err}" "jazzsoft__test-not-a-midi-file.mid: The file is not a MIDI file." at)
if(rc EQUAL 0 OR at EQUAL -1 OR EXISTS ${OUT}/partly.wav)
  message(FATAL_ERROR "render with a bad song in the list: ${rc} ${err}")
endif()

# The eighth and ninth info columns: a song's loop in ms. Played with its
# loop (the player's option, or --loops over it), a song lasts its intro, the
# loop twice and 8 s of fading; --no-loops plays it as it stands.
execute_process(COMMAND ${LOOPSONG_MAKER} ${OUT}/loop.mid RESULT_VARIABLE rc)
if(NOT (rc EQUAL 0))
  message(FATAL_ERROR "the song with a loop could not be made")
endif()
set(loop_off "${OUT}/loop.mid\tok\t3000\t0\t1\t${FONT}\t-\t1000\t2000\n")
set(loop_on "${OUT}/loop.mid\tok\t11000\t0\t1\t${FONT}\t-\t1000\t2000\n")
foreach(setting "" "PlayLoops=0\n" "PlayLoops=1\n")
  file(WRITE ${OUT}/config/Kestrix/Quavette.conf "[Option]\nSoundFont=${FONT}\n${setting}")
  set(stored "${loop_off}")
  if(setting MATCHES "=1")
    set(stored "${loop_on}")
  endif()
  foreach(option "" --loops --no-loops)
    execute_process(COMMAND ${TOOL} info ${option} ${OUT}/loop.mid OUTPUT_VARIABLE out)
    set(expected "${stored}")
    if(option STREQUAL "--loops")
      set(expected "${loop_on}")
    elseif(option STREQUAL "--no-loops")
      set(expected "${loop_off}")
    endif()
    if(NOT out STREQUAL expected)
      message(FATAL_ERROR "info ${option} with '${setting}' stored: ${out}")
    endif()
  endforeach()
endforeach()

# render plays the intro, both passes and the fade; the faded song leaves
# nothing ringing, so the file ends a moment after its 11 s.
foreach(option --loops --no-loops)
  execute_process(COMMAND ${TOOL} render --soundfont ${FONT} ${option} ${OUT}/loop.mid ${OUT}/loop${option}.wav
    RESULT_VARIABLE rc)
  file(SIZE ${OUT}/loop${option}.wav size_${option})
  if(NOT (rc EQUAL 0))
    message(FATAL_ERROR "render ${option} exited ${rc}")
  endif()
endforeach()
math(EXPR least "44 + 11 * 44100 * 4")
math(EXPR most "44 + (11 * 44100 + 3 * 4096) * 4")
if(NOT (size_--loops GREATER_EQUAL least AND size_--loops LESS_EQUAL most))
  message(FATAL_ERROR "render --loops made ${size_--loops} bytes")
endif()
math(EXPR least "44 + 3 * 44100 * 4")
if(NOT (size_--no-loops GREATER_EQUAL least AND size_--no-loops LESS size_--loops))
  message(FATAL_ERROR "render --no-loops made ${size_--no-loops} bytes")
endif()
