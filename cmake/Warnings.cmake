# Project-wide compile flags: warnings everywhere, -Werror in CI, optional sanitizers.
add_compile_options(-Wall -Wextra)
if(KAVRILO_WERROR)
  add_compile_options(-Werror)
endif()
if(KAVRILO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
