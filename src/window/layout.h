#pragma once
// The window's design, in twips (15 to a pixel at 96 dpi): the 100 % view.

namespace ozn {

struct Place {
    int left, top, width, height;
};
// 馬単 and 枠連 (本格ルール) take a fourth column to the right.
inline constexpr Place kListPlace[8] = {{100, 800, 2100, 2400},  {100, 3600, 2100, 2400}, {2300, 800, 2100, 2400},
                                        {2300, 3600, 2100, 2400}, {4500, 800, 2100, 2400}, {4500, 3600, 2100, 2400},
                                        {6700, 800, 2100, 2400}, {6700, 3600, 2100, 2400}};
inline constexpr Place kCommandPlace[8] = {{100, 350, 1000, 180},  {1200, 350, 1000, 180}, {2300, 350, 1000, 180},
                                           {3400, 350, 1000, 180}, {4500, 350, 1000, 180}, {5600, 350, 1000, 180},
                                           {6700, 350, 1000, 180}, {7800, 350, 1000, 180}};
inline constexpr Place kLabelPlace[8] = {{100, 600, 2100, 180},  {100, 3400, 2100, 180}, {2300, 600, 2100, 180},
                                         {2300, 3400, 2100, 180}, {4500, 600, 2100, 180}, {4500, 3400, 2100, 180},
                                         {6700, 600, 2100, 180}, {6700, 3400, 2100, 180}};
// Below the lists, clear of the race results printed from the top.
inline constexpr Place kStatusPlace = {100, 6100, 2100, 180};

}  // namespace ozn
