#include "webhost/WindowServices.h"

namespace kes {

WindowServices& windowServices() {
    static WindowServices services;
    return services;
}

} // namespace kes
