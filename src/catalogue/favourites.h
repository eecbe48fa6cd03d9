#pragma once
// The favourites list: favs.txt beside the executable, one station number per line.
#include <cstdint>
#include <filesystem>

#include "app/player_state.h"

namespace catalogue {

std::filesystem::path FavouritesPath();      // favs.txt
std::filesystem::path FavouritesTempPath();  // favs2.txt, while a removal runs

// True when a line holds the number; false when none does or there is no file. A line that
// is not a number throws "'<line>' is not a valid integer value".
bool FavouritesContain(int32_t number);
// Appends the number as a new last line (creating the file); a last line without its line
// end gets one first.
void AddFavourite(int32_t number);
// Removes every line holding the number. The new list is written to favs2.txt, which then
// replaces favs.txt in one step, so a failure leaves the old list or the new one, never none.
// A missing favs.txt throws "File not found".
void RemoveFavourite(int32_t number);
// Reads the list into FavouriteNumbers and FavouriteCount; false (nothing changed) when
// there is no file. A bad line throws; the entries read before it stay, the count does not
// change. Lines after the 1000th are read but not stored.
bool LoadFavourites(app::PlayerState& state);

}  // namespace catalogue
