# The FTP tests and the upload benchmark run a real server: pyftpdlib, which Debian packages
# for its own python3 (a python3 found earlier on PATH may lack it), so take the first one
# that has it. Sets ACM_FTP_PYTHON and ACM_FTP_SERVER_SCRIPT.
include_guard(DIRECTORY) # each including folder gets the variables in its own scope
set(ACM_FTP_SERVER_SCRIPT ${PROJECT_SOURCE_DIR}/tests/ftp/ftp_server.py)
set(ACM_FTP_PYTHON_CANDIDATES /usr/bin/python3)
find_program(ACM_PATH_PYTHON3 python3)
if(ACM_PATH_PYTHON3)
  list(APPEND ACM_FTP_PYTHON_CANDIDATES ${ACM_PATH_PYTHON3})
endif()
set(ACM_FTP_PYTHON "")
foreach(candidate ${ACM_FTP_PYTHON_CANDIDATES})
  if(NOT ACM_FTP_PYTHON AND EXISTS ${candidate})
    execute_process(COMMAND ${candidate} -c "import pyftpdlib" RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
    if(missing EQUAL 0)
      set(ACM_FTP_PYTHON ${candidate})
    endif()
  endif()
endforeach()
if(NOT ACM_FTP_PYTHON)
  message(WARNING "No python3 with pyftpdlib (package python3-pyftpdlib): the FTP tests will fail")
  set(ACM_FTP_PYTHON python3)
endif()
