// The catalogue's names and the sizes every stored skin file must have.
#include "skins/catalogue.h"

namespace trigora::skins {

const std::array<CatalogueEntry, kCatalogueSize> kCatalogue{{
    {"MSN", 15574, 277244},
    {"QQ2008", 9533, 144932},
    {"QQ2009_宽_底边", 19786, 334484},
    {"QQ2009_窄_底边", 19497, 323060},
    {"QQ影音", 18930, 457868},
    {"炫绿", 12564, 324980},
    {"积木", 41098, 230784},
    {"Adamant", 24409, 196172},
    {"Aero", 30738, 297840},
    {"Aero粉红", 39378, 368932},
    {"华硕Asus", 8321, 198740},
    {"黑框银底", 13192, 175192},
    {"中国红", 26370, 275540},
    {"Compact", 23603, 280868},
    {"Darkroyale", 20863, 280868},
    {"Elegance", 11676, 483428},
    {"Enjoy", 17997, 203388},
    {"银白", 37461, 1028620},
    {"Insomnia", 25715, 380060},
    {"Office2007", 12105, 310940},
    {"苹果Pixos", 29447, 328060},
    {"QQ2009", 20552, 247940},
    {"QQ游戏", 15562, 181412},
    {"Royale", 20738, 263444},
    {"Storm", 18765, 194716},
    {"Vista", 15733, 239620},
    {"Xenes", 44110, 338828},
    {"Xmp", 20275, 249044},
    {"Homestead", 30958, 283604},
    {"不使用皮肤", 0, 0},
}};

} // namespace trigora::skins
