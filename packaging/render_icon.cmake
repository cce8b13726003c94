# Renders the application icon from the presentation itself (cmake -P):
# the orb in the veil of scene 2 at 55 s, ringed and whole, as the capture
# tool CAPTURE draws it, cropped and scaled by ffmpeg to PNG files
# OUT_DIR/<size>.png for each of SIZES (comma-separated pixels), run through
# EMULATOR when one is given (a cross build). Nothing is
# done while the icons are newer than the capture tool and this script.
#
# The window stretches every scene sideways by 4/3 (an 800 x 600 projection
# shown in an 800 x 450 band), so a 600 x 450 crop of the band scaled to a
# square shows the orb round, as it was built.
cmake_minimum_required(VERSION 3.18)

set(ICON_TIME 55)
set(ICON_CROP "crop=600:450:100:75")
set(stamp ${OUT_DIR}/rendered)
if(EXISTS "${stamp}" AND NOT "${CAPTURE}" IS_NEWER_THAN "${stamp}"
   AND NOT "${CMAKE_CURRENT_LIST_FILE}" IS_NEWER_THAN "${stamp}")
  return()
endif()
find_program(FFMPEG ffmpeg)
if(NOT FFMPEG)
  message(FATAL_ERROR "the icon is scaled by the ffmpeg program; install the Debian package ffmpeg")
endif()

# Installs running side by side each render into a folder of their own; the
# finished icons are renamed into place one by one, each whole.
string(RANDOM LENGTH 8 tag)
set(work ${OUT_DIR}/render-${tag})
file(MAKE_DIRECTORY ${work})
execute_process(COMMAND ${EMULATOR} ${CAPTURE} --at ${ICON_TIME} --out ${work}/frame.png --quiet
                RESULT_VARIABLE failed ERROR_VARIABLE why)
if(failed)
  file(REMOVE_RECURSE ${work})
  message(FATAL_ERROR "the icon's frame: ${why}")
endif()
string(REPLACE "," ";" SIZES "${SIZES}")
foreach(size ${SIZES})
  execute_process(COMMAND ${FFMPEG} -nostdin -loglevel error -i ${work}/frame.png
                          -vf ${ICON_CROP},scale=${size}:${size}:flags=lanczos ${work}/${size}.png
                  RESULT_VARIABLE failed ERROR_VARIABLE why)
  if(failed)
    file(REMOVE_RECURSE ${work})
    message(FATAL_ERROR "scaling the icon to ${size} pixels: ${why}")
  endif()
endforeach()
foreach(size ${SIZES})
  file(RENAME ${work}/${size}.png ${OUT_DIR}/${size}.png)
endforeach()
file(REMOVE_RECURSE ${work})
file(TOUCH ${stamp})
message(STATUS "Rendered the icon from the capture at ${ICON_TIME} s: ${SIZES} pixels")
