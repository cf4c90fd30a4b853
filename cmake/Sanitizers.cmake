# TESSARY_SANITIZE applies to every target, so the module, the host runtime
# and the tests are instrumented alike.
if(TESSARY_SANITIZE)
  set(_san "-fsanitize=${TESSARY_SANITIZE}")
  if(TESSARY_SANITIZE MATCHES "undefined")
    # float-cast-overflow is not part of "undefined" in GCC; the engine must
    # never convert a non-finite or huge float to an int.
    string(APPEND _san ",float-cast-overflow")
  endif()
  add_compile_options(${_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(${_san})
endif()
