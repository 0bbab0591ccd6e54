// The standard headers the sanitizer builds compile once for every target (cmake/KorPch.cmake).
