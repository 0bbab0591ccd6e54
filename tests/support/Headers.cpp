// The test executables share this file's precompiled headers (cmake/KorTesting.cmake).
