# The counts of a profile-guided build's training run (cmake/profile_training.cmake),
# run with `cmake -P`:
#   -DACTION=clear -DFROM=DIR         removes the counts of earlier runs from DIR, which
#                                     a new run would otherwise add to;
#   -DACTION=copy -DFROM=DIR -DTO=DIR copies every DIR/<path>.gcda to TO/<path>.gcda,
#                                     in place of TO's earlier counts.
file(GLOB_RECURSE counts RELATIVE ${FROM} ${FROM}/*.gcda)
if(ACTION STREQUAL "clear")
  foreach(count ${counts})
    file(REMOVE ${FROM}/${count})
  endforeach()
elseif(ACTION STREQUAL "copy")
  if(NOT counts)
    message(FATAL_ERROR "the training run left no counts in ${FROM}")
  endif()
  file(GLOB_RECURSE stale ${TO}/*.gcda)
  if(stale)
    file(REMOVE ${stale})
  endif()
  foreach(count ${counts})
    get_filename_component(folder ${TO}/${count} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(COPY_FILE ${FROM}/${count} ${TO}/${count})
  endforeach()
else()
  message(FATAL_ERROR "ACTION must be clear or copy")
endif()
