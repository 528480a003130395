# Run by the demo target: writes the sample images into ${DEMO}/images, shows
# what d88info sees in each, then runs each program on its sample inside
# ${DEMO}/<program>/ and lists the files it wrote.  Then d88conv turns the
# NFD sample into a D88 image, which abcut cuts in ${DEMO}/abcut-nfd/: the
# same files as from the D88 sample's Disk A.  Then vorxcut cuts the zip of
# its disks in ${DEMO}/vorxcut-zip/: the same files as from its D88 sample.
# Last, d88cut cuts every sample at once, each beside itself, a folder per
# disk: together the same files as each program's run; and it cuts two
# flux dumps (SCP, a zipped KryoFlux set) into the files of the same disks
# stored as D88.  Last, d88info maps the sectors of a worn disk's dump.
# The programs' messages are Shift-JIS; they are shown through iconv when it is there.
file(REMOVE_RECURSE "${DEMO}")
file(MAKE_DIRECTORY "${DEMO}/images")
execute_process(COMMAND "${MAKE_SAMPLES}" "${DEMO}/images" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_samples failed")
endif()
find_program(ICONV iconv)

# Runs `program` with `args` inside ${DEMO}/`folder`, keeps what it printed
# in ${DEMO}/`log`.log and shows it.
function(run_in program folder log)
  execute_process(COMMAND "${${program}}" ${ARGN} WORKING_DIRECTORY "${DEMO}/${folder}"
                  OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE status)
  file(WRITE "${DEMO}/${log}.log" "${out}")
  if(ICONV)
    execute_process(COMMAND "${ICONV}" -f CP932 -t UTF-8 "${DEMO}/${log}.log")
  else()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${DEMO}/${log}.log")
  endif()
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${program} ended with status ${status}")
  endif()
endfunction()

# Runs `program` on `image` (relative to ${DEMO}) inside ${DEMO}/`folder`
# and shows its messages.
function(cut_in program image folder)
  file(MAKE_DIRECTORY "${DEMO}/${folder}")
  message("\n== ${program} ${image}   (in demo/${folder}/)")
  run_in(${program} ${folder} ${folder} "${DEMO}/${image}")
endfunction()

# Lists the files in ${DEMO}/`folder`, six to a line.
function(list_files folder)
  set(folder "${DEMO}/${folder}")
  file(GLOB files RELATIVE "${folder}" "${folder}/*")
  list(SORT files)
  list(LENGTH files count)
  message("-- demo/${ARGV0}/ now holds ${count} files (name, bytes):")
  set(line "")
  set(column 0)
  foreach(name IN LISTS files)
    file(SIZE "${folder}/${name}" size)
    string(APPEND line "  ${name} ${size}")
    math(EXPR column "${column} + 1")
    if(column EQUAL 6)
      message("${line}")
      set(line "")
      set(column 0)
    endif()
  endforeach()
  if(NOT line STREQUAL "")
    message("${line}")
  endif()
endfunction()

# Fails unless ${DEMO}/`folder` holds the files of ${DEMO}/`reference`, cut
# from `image`, byte for byte, and no others.
function(same_files folder reference image)
  file(GLOB files RELATIVE "${DEMO}/${folder}" "${DEMO}/${folder}/*")
  file(GLOB wanted RELATIVE "${DEMO}/${reference}" "${DEMO}/${reference}/*")
  if(NOT files STREQUAL wanted)
    message(FATAL_ERROR "demo/${folder}/ and demo/${reference}/ hold other files")
  endif()
  foreach(name IN LISTS files)
    file(SHA256 "${DEMO}/${folder}/${name}" got)
    file(SHA256 "${DEMO}/${reference}/${name}" want)
    if(NOT got STREQUAL want)
      message(FATAL_ERROR "demo/${folder}/${name} differs from demo/${reference}/${name}")
    endif()
  endforeach()
  list(LENGTH files count)
  message("-- the ${count} files are those cut from ${image}, byte for byte")
endfunction()

foreach(program vorxcut abcut oabcut)
  message("\n== d88info images/${program}.d88")
  execute_process(COMMAND "${D88INFO}" "${DEMO}/images/${program}.d88")
  cut_in(${program} images/${program}.d88 ${program})
  list_files(${program})
endforeach()

# Another container: abcut's Disk A as an NFD r1 image, made into D88.
message("\n== d88conv -o abcut-1.d88 abcut-1.nfd   (in demo/images/)")
execute_process(COMMAND "${D88CONV}" -o abcut-1.d88 abcut-1.nfd WORKING_DIRECTORY "${DEMO}/images"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "d88conv ended with status ${status}")
endif()
message("\n== d88info images/abcut-1.d88")
execute_process(COMMAND "${D88INFO}" "${DEMO}/images/abcut-1.d88")
cut_in(abcut images/abcut-1.d88 abcut-nfd)
list_files(abcut-nfd)

# Disk A's files are the same, byte for byte, whichever image they came from.
same_files(abcut-nfd abcut images/abcut.d88)

# An archive: the zip of vorxcut's disks cuts as the D88 of them.
message("\n== d88info images/vorxcut.zip")
execute_process(COMMAND "${D88INFO}" "${DEMO}/images/vorxcut.zip")
cut_in(vorxcut images/vorxcut.zip vorxcut-zip)
same_files(vorxcut-zip vorxcut images/vorxcut.d88)

# d88cut on every sample at once, started in the demo folder: each image's
# disks go beside it, a folder per disk (images/vorxcut/disk00-vorxcut-1/,
# ...), and together they hold what each program cut from the whole image.
set(images images/vorxcut.d88 images/abcut.d88 images/oabcut.d88 images/abcut-1.nfd)
message("\n== d88cut ${images}   (in demo/)")
run_in(d88cut . d88cut ${images})
foreach(sample vorxcut abcut oabcut abcut-1)
  set(whole ${sample})
  if(sample STREQUAL "abcut-1")
    set(whole abcut-nfd)
  endif()
  file(GLOB_RECURSE cut RELATIVE "${DEMO}/images/${sample}" "${DEMO}/images/${sample}/*")
  file(GLOB expected RELATIVE "${DEMO}/${whole}" "${DEMO}/${whole}/*")
  list(LENGTH cut count)
  list(LENGTH expected wanted)
  if(NOT count EQUAL wanted)
    message(FATAL_ERROR "d88cut wrote ${count} files for images/${sample}, ${whole} ${wanted}")
  endif()
  foreach(path IN LISTS cut)
    get_filename_component(name "${path}" NAME)
    file(SHA256 "${DEMO}/images/${sample}/${path}" mine)
    file(SHA256 "${DEMO}/${whole}/${name}" theirs)
    if(NOT mine STREQUAL theirs)
      message(FATAL_ERROR "demo/images/${sample}/${path} differs from demo/${whole}/${name}")
    endif()
  endforeach()
  message("-- demo/images/${sample}/: ${count} files in its disks' folders, those of demo/${whole}/")
endforeach()

# Dumps of original disks, flux rather than sectors: vorxcut's first disk as
# SCP and oabcut's first as a zipped KryoFlux set.  d88cut cuts each beside
# itself into the same files as from the D88 sample's disk.
foreach(dump vorxcut-1.scp oabcut-1-kryoflux.zip)
  message("\n== d88info images/${dump}")
  execute_process(COMMAND "${D88INFO}" "${DEMO}/images/${dump}")
endforeach()
message("\n== d88cut images/vorxcut-1.scp images/oabcut-1-kryoflux.zip   (in demo/)")
run_in(d88cut . d88cut-flux images/vorxcut-1.scp images/oabcut-1-kryoflux.zip)
same_files(images/vorxcut-1/disk00-vorxcut-1 images/vorxcut/disk00-vorxcut-1 images/vorxcut-1.scp)
same_files(images/oabcut-1-kryoflux/disk00-oabcut-1 images/oabcut/disk00-oabcut-1
           images/oabcut-1-kryoflux.zip)

# A worn disk's dump: its map of sectors marks those voted from the
# revolutions (v), repaired (r) and left with a bad data CRC (x).
message("\n== d88info --map images/worn-2hd.scp")
execute_process(COMMAND "${D88INFO}" --map "${DEMO}/images/worn-2hd.scp" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "d88info ended with status ${status}")
endif()
