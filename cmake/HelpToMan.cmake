# Writes a manual page from a program's --help, so that the page never tells other than the help;
# with COMMANDS, a section per command from "PROGRAM COMMAND --help" follows.
# Usage: cmake -DPROGRAM=path -DNAME=cnccomm -DSUMMARY="..." -DVERSION=x.y.z [-DCOMMANDS="a;b"]
#        -DOUTPUT=file.1 -P HelpToMan.cmake
function(help_of out)
  execute_process(COMMAND ${PROGRAM} ${ARGN} --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${PROGRAM} ${ARGN} --help failed: ${failed}")
  endif()
  # troff: a backslash is written \e; a line that starts with . or ' would be a request.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" help "\n${help}")
  set(${out} "${help}" PARENT_SCOPE)
endfunction()

help_of(help)
string(TOUPPER "${NAME}" title)
set(page ".TH ${title} 1 \"\" \"${NAME} ${VERSION}\" \"User Commands\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH DESCRIPTION
.nf
${help}
.fi
")
if(COMMANDS)
  string(APPEND page ".SH COMMANDS\n")
  foreach(command IN LISTS COMMANDS)
    help_of(help ${command})
    string(APPEND page ".SS ${command}\n.nf\n${help}\n.fi\n")
  endforeach()
endif()
file(WRITE ${OUTPUT} "${page}")
