#pragma once

namespace telvika {

// The player formats with the user's locale. Where none is set (the C or POSIX locale) it uses
// Russian, the language of its interface. Call once at program start.
void applyUserLocale();

}  // namespace telvika
