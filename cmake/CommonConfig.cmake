# Every target links tm_common: the one place for warnings, defines and sanitizers.
add_library(tm_common INTERFACE)
target_compile_options(tm_common INTERFACE -Wall -Wextra)
target_compile_definitions(tm_common INTERFACE
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_DISABLE_DEPRECATED_UP_TO=0x060400)
if(TM_WERROR)
    target_compile_options(tm_common INTERFACE -Werror)
endif()
if(TM_SANITIZE)
    set(_tm_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_compile_options(tm_common INTERFACE ${_tm_san})
    target_link_options(tm_common INTERFACE ${_tm_san})
endif()
