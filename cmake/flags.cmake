# One target that carries the flags every part of quorvel is built with (the language level
# is set for both projects in common.cmake).
add_library(quorvel_flags INTERFACE)
target_compile_options(quorvel_flags INTERFACE -Wall -Wextra)
# Texts are Windows-1252 bytes: a silent conversion through UTF-8 would corrupt them.
target_compile_definitions(quorvel_flags INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY)
if(QUORVEL_WERROR)
  target_compile_options(quorvel_flags INTERFACE -Werror)
endif()
if(QUORVEL_SANITIZE)
  # Qt 6.4's own headers pass a null pointer with a zero size to memcmp when two empty
  # lists are compared; that report says nothing about our code.
  # -O1 and line tables alone (after the build type's -O2 -g, so they win): a report names
  # each frame's function, file and line, and the build takes half the time of -O2 -g.
  target_compile_options(quorvel_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined -fno-sanitize=nonnull-attribute -O1 -g1)
  target_link_options(quorvel_flags INTERFACE -fsanitize=address,undefined)
endif()
