# Copies the panel file and the logo beside the executables (when present).
foreach(f TARVO-MS-LT-ScopeV303.uir vm.bmp)
  if(EXISTS "${SRC}/${f}")
    file(COPY_FILE "${SRC}/${f}" "${DST}/${f}" ONLY_IF_DIFFERENT)
  endif()
endforeach()
