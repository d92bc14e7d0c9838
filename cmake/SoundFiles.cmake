# tarnholm_sound_files(var): the generated sound files that content/Sounds.rc
# names, as paths in the generated content folder.
function(tarnholm_sound_files var)
  file(STRINGS ${TARNHOLM_ROOT}/content/Sounds.rc _lines REGEX "^[0-9]+ RCDATA \"")
  set(_files)
  foreach(l ${_lines})
    string(REGEX REPLACE "^[0-9]+ RCDATA \"([^\"]+)\".*" "\\1" _name "${l}")
    list(APPEND _files ${TARNHOLM_CONTENT_DIR}/${_name})
  endforeach()
  set(${var} ${_files} PARENT_SCOPE)
endfunction()

# tarnholm_sound_resources(target rc): a program's .rc that includes
# "Sounds.rc" calls this, so that windres finds the generated files and reruns
# when they change.
function(tarnholm_sound_resources target rc)
  tarnholm_sound_files(_sounds)
  target_include_directories(${target} PRIVATE ${TARNHOLM_CONTENT_DIR} ${TARNHOLM_ROOT}/content)
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${TARNHOLM_ROOT}/content/Sounds.rc ${_sounds})
endfunction()
