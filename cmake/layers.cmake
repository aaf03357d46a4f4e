# One static library per layer, each linked to the one below it only:
#   util <- platform <- decoders <- model <- render <- app
# Each layer also gets a link check, olvistra_<layer>_links: a program that
# links every object of the layer against the layers below alone, so a
# call that runs upward (model calling render, say) fails the build as an
# undefined reference, even where a program that links every layer would
# find the symbol. OLVISTRA_LAYER_OPTIONS, OLVISTRA_LAYER_DEFINITIONS and
# OLVISTRA_LAYER_LINK_OPTIONS are those of our own code on the platform at
# hand.
function(olvistra_layer layer below)
  add_library(olvistra_${layer} STATIC ${ARGN})
  target_include_directories(olvistra_${layer} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(olvistra_${layer} PRIVATE ${OLVISTRA_LAYER_OPTIONS})
  target_compile_definitions(olvistra_${layer} PRIVATE ${OLVISTRA_LAYER_DEFINITIONS})
  target_link_libraries(olvistra_${layer} PUBLIC ${below})

  add_executable(olvistra_${layer}_links ${CMAKE_SOURCE_DIR}/cmake/layer_links.cpp)
  set_target_properties(olvistra_${layer}_links PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/layer_links)
  target_link_options(olvistra_${layer}_links PRIVATE ${OLVISTRA_LAYER_LINK_OPTIONS})
  target_link_libraries(olvistra_${layer}_links PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,olvistra_${layer}>")
endfunction()
