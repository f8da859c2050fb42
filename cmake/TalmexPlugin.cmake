# A headset plug-in: a module the agent opens by its bundle path
# (Source/Plugin/Location.h), built into FOLDER/OculusPlugin.bundle/Contents/MacOS.
function(talmex_plugin_module target folder)
  set_target_properties(${target} PROPERTIES
    PREFIX "" SUFFIX "" OUTPUT_NAME OculusPlugin
    LIBRARY_OUTPUT_DIRECTORY ${folder}/OculusPlugin.bundle/Contents/MacOS)
  # Every symbol it needs must come from what it links: found when it is
  # built, not when the agent opens it. A sanitizer's runtime is the
  # executable's to bring.
  if(NOT TALMEX_SANITIZE)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()
