# Fails when the C example in README.md is not the text of examples/first_steps.c.
# Usage: cmake -DREADME=... -DEXAMPLE=... -P readme_example.cmake
file(READ ${README} readme)
file(READ ${EXAMPLE} example)
string(FIND "${readme}" "```c\n${example}```" at)
if(at EQUAL -1)
  message(FATAL_ERROR "README.md's C example differs from ${EXAMPLE}")
endif()
