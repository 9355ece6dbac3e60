# cmake -DHOST=tessaline-host -DHELP2MAN=help2man -DOUTPUT=tessaline-host.1 -P make_manpage.cmake
# help2man reads the top-level --help and --version; the commands' own --help
# texts go in through an include file, one subsection each.
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})

execute_process(COMMAND ${HOST} --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${HOST} --help failed")
endif()
# The commands are the lines under "Subcommands:", two spaces in.
string(REGEX REPLACE ".*\nSubcommands:\n" "" listing "${help}")
string(REGEX MATCHALL "(^|\n)  [a-z]+ " names "${listing}")

set(include "[COMMANDS]\n")
foreach(name IN LISTS names)
  string(STRIP "${name}" name)
  execute_process(COMMAND ${HOST} ${name} --help OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${HOST} ${name} --help failed")
  endif()
  # roff: backslashes are escapes, and a leading dot or quote a request.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(APPEND include ".SS ${name}\n.nf\n${text}.fi\n")
endforeach()
file(WRITE ${folder}/commands.h2m "${include}")

execute_process(
  COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section 1
    --name "stand-in host for the Tessaline Cinema 4D module"
    --include ${folder}/commands.h2m --output ${OUTPUT} ${HOST}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "help2man failed on ${HOST}")
endif()
# -n: no name or time stamp inside, so the same page compresses the same.
execute_process(COMMAND gzip -9nkf ${OUTPUT} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on ${OUTPUT}")
endif()
