#include "params/LMEnumList.h"

namespace kestrava::params {

LMEnum_Compiletime& bitRateList() {
    static LMEnumType_Static table[] = {
        {320, "320", "320 kbit/s (standard)"},
        {340, "340", "340 kbit/s"},
        {360, "360", "360 kbit/s"},
        {384, "384", "384 kbit/s"},
        {400, "400", "400 kbit/s"},
    };
    static LMEnum_Compiletime list{table};
    return list;
}

}  // namespace kestrava::params
