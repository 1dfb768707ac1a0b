# quavette-midi as a user runs it: info over good and bad files, render to WAV.
# cmake -DTOOL=... -DDATA=... -DOUT=... -P quavette_midi_test.cmake
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
string(FIND "${out}" "scale.mid\tok\t4000\t0\t1\t${FONT}\t-\n" at_chosen)
string(FIND "${out}" "song.mid\tok\t4000\t0\t1\t${OUT}/own/SONG.Sf2\t-\n" at_own)
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
if(NOT out MATCHES "\tok\t[0-9]+\t[0-9]\t[0-9]+\t[^\t]+\tGS\n$")
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

# The words of a karaoke file, one line each with its time; none: nothing.
execute_process(COMMAND ${TOOL} lyrics ${DATA}/jazzsoft__test-karaoke-kar.mid RESULT_VARIABLE rc OUTPUT_VARIABLE out)
set(want "0\tMary was a little lame,\n2667\tLittle lame,\n4000\tLittle lame,\n5333\tMary was a little lame,\n7667\tA little lame was she!\n")
if(NOT (rc EQUAL 0 AND out STREQUAL want))
  message(FATAL_ERROR "lyrics exited ${rc} with: ${out}")
endif()
execute_process(COMMAND ${TOOL} lyrics ${DATA}/jazzsoft__test-c-major-scale.mid RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT (rc EQUAL 0 AND out STREQUAL ""))
  message(FATAL_ERROR "lyrics of a song without words exited ${rc} with: ${out}")
endif()
