# Each target's headers are reached through an include root of its own in the
# build tree, which holds links to the target's own folders (or files) only:
# a target that links vbmp3 reaches "vbmp3/..." and nothing else of the
# source tree, while every include keeps its "folder/file.h" spelling.
#
#   melodiane_include_root(TARGET SCOPE PATH...)
#
# PATH is relative to the source root; SCOPE is PUBLIC, PRIVATE or INTERFACE,
# as for target_include_directories.
function(melodiane_include_root target scope)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    # Made again at each configure, so that a path taken off the list is gone.
    file(REMOVE_RECURSE ${root})
    foreach(path ${ARGN})
        get_filename_component(parent ${root}/${path} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
    endforeach()
    target_include_directories(${target} ${scope} ${root})
endfunction()
