# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Warnings and sanitizers shared by every target of the tree.

add_compile_options(-Wall -Wextra -Werror=return-type -Werror=undef)
if(CORVANE_WERROR)
    add_compile_options(-Werror)
endif()

if(CORVANE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# Keep the meaning of strings explicit in our own code.
set(CORVANE_STRICT_QT_DEFINITIONS QT_NO_CAST_FROM_ASCII QT_NO_URL_CAST_FROM_STRING QT_NO_FOREACH)
