# Manual pages (man1), made at build time from each program's own --help and
# --version with help2man, so they say what the programs say.  Not in a
# cross build, whose programs do not run here.  A program whose --help or
# --version does not answer gets no page; the step says so and the build
# goes on.  `cmake --install` and the packages take the pages there are.
if(CMAKE_CROSSCOMPILING)
  return()
endif()
find_program(D88CUT_HELP2MAN help2man)
if(NOT D88CUT_HELP2MAN)
  message(NOTICE "Manual pages skipped: help2man was not found (Debian: apt-get install help2man).")
  return()
endif()

# One line each for the NAME section.
set(man_vorxcut "cut the driver and music files of VORX family disks out of D88 images")
set(man_abcut "cut the driver and music files of Disk A out of D88 images")
set(man_oabcut "cut the driver and music files of the Opening Disk and Disk A out of D88 images")
set(man_d88info "show the disks, tracks and sectors of a disk image and which program takes each disk")
set(man_d88conv "convert PC-98 disk images to D88 images")
set(man_d88cut "cut every disk any of the programs recognises out of disk images, a folder per disk")

set(man_dir ${CMAKE_BINARY_DIR}/man/man1)
set(man_stamps)
foreach(program vorxcut abcut oabcut d88info d88conv d88cut)
  if(NOT TARGET ${program})
    continue()
  endif()
  set(page ${man_dir}/${program}.1)
  add_custom_command(
    # The page is no declared output: a program without --help makes none,
    # and a missing output would run the step at every build.
    OUTPUT ${man_dir}/${program}.stamp
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${D88CUT_HELP2MAN} -DPROGRAM=$<TARGET_FILE:${program}>
            -DNAME=${program} "-DDESCRIPTION=${man_${program}}" -DPAGE=${page}
            -P ${CMAKE_CURRENT_LIST_DIR}/make_man_page.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${man_dir}/${program}.stamp
    DEPENDS ${program} ${CMAKE_CURRENT_LIST_DIR}/make_man_page.cmake
    COMMENT "Manual page for ${program}"
    VERBATIM)
  list(APPEND man_stamps ${man_dir}/${program}.stamp)
  install(FILES ${page} DESTINATION share/man/man1 OPTIONAL)
endforeach()
add_custom_target(man ALL DEPENDS ${man_stamps})
