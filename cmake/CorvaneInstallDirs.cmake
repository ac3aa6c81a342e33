# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Where an installed Corvane puts its parts. The shared libraries are private
# to the program, so they go in a folder of their own, found through a RUNPATH
# relative to each binary: the installed tree needs no LD_LIBRARY_PATH and can
# be moved as a whole.

include(GNUInstallDirs)

set(CORVANE_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/corvane)
# corvane looks for its agent here, relative to its own folder.
set(CORVANE_INSTALL_AGENTDIR ${CMAKE_INSTALL_LIBEXECDIR}/corvane)

# corvane_install_runpath(target destination): the target, installed into
# `destination`, finds the private libraries relative to itself.
function(corvane_install_runpath target destination)
    file(RELATIVE_PATH relative /${destination} /${CORVANE_INSTALL_LIBDIR})
    if(relative STREQUAL "")
        set(relative ".")
    endif()
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${relative}")
endfunction()

# Installing (and packaging, which installs) takes the tree as built: it never
# starts a build of its own, so the package test can run beside the others.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
