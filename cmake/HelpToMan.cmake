# Writes a manual page from a program's --help, so that the page never tells other than the help.
# Usage: cmake -DPROGRAM=path -DNAME=cnccomm -DSUMMARY="..." -DVERSION=x.y.z -DOUTPUT=file.1 -P HelpToMan.cmake
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${PROGRAM} --help failed: ${failed}")
endif()
# troff: a backslash is written \e; a line that starts with . or ' would be a request.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" help "\n${help}")
string(TOUPPER "${NAME}" title)
file(WRITE ${OUTPUT} ".TH ${title} 1 \"\" \"${NAME} ${VERSION}\" \"User Commands\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH DESCRIPTION
.nf
${help}
.fi
")
