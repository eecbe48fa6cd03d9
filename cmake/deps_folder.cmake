# TIVOLNA_DEPS: the cache folder of the libraries that scripts/setup builds (the same rule as
# the scripts: $TIVOLNA_DEPS, else /var/cache/tivolna-deps when there, else ~/.cache).
if(NOT TIVOLNA_DEPS)
  if(DEFINED ENV{TIVOLNA_DEPS} AND NOT "$ENV{TIVOLNA_DEPS}" STREQUAL "")
    set(TIVOLNA_DEPS $ENV{TIVOLNA_DEPS})
  elseif(EXISTS /var/cache/tivolna-deps)
    set(TIVOLNA_DEPS /var/cache/tivolna-deps)
  else()
    set(TIVOLNA_DEPS $ENV{HOME}/.cache/tivolna-deps)
  endif()
endif()
