# kestrel_embed_dialog_templates(OUT_VAR ID...): generates, for each template id, a C++ source
# holding resources/dialogs/<id>.json as kestrel::resources::DialogTemplate<id>(), and lists the
# sources in OUT_VAR.
function(kestrel_embed_dialog_templates out_var)
  set(sources)
  foreach(template_id ${ARGN})
    set(template_json ${PROJECT_SOURCE_DIR}/resources/dialogs/${template_id}.json)
    set(template_cpp ${CMAKE_CURRENT_BINARY_DIR}/template_${template_id}.cpp)
    add_custom_command(
      OUTPUT ${template_cpp}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${template_json} -DOUTPUT=${template_cpp}
              -DNAMESPACE=kestrel::resources -DFUNCTION=DialogTemplate${template_id}
              -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
      DEPENDS ${template_json} ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
      COMMENT "Embedding dialog template ${template_id}")
    list(APPEND sources ${template_cpp})
  endforeach()
  set(${out_var} ${sources} PARENT_SCOPE)
endfunction()
