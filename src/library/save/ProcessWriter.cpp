#include "library/save/ProcessWriter.h"

namespace VeltoPageLibrary {

const velto::Uuid &processWriterID() {
    // A function-local static is made once, also when several threads ask at the same time.
    static const velto::Uuid writerID = velto::Uuid::random();
    return writerID;
}

} // namespace VeltoPageLibrary
