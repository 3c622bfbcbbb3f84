# TIRVEL_SANITIZE is a comma separated list handed to -fsanitize (address,undefined / thread).
set(TIRVEL_SANITIZE "" CACHE STRING "Sanitizers to build with (e.g. address,undefined or thread)")
if(TIRVEL_SANITIZE)
    add_compile_options(-fsanitize=${TIRVEL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${TIRVEL_SANITIZE})
endif()
