# Pixel routines of the window layer: no SDL, so tests and benchmarks link them alone.
add_library(kor_raster STATIC ${CMAKE_CURRENT_LIST_DIR}/Raster.cpp ${CMAKE_CURRENT_LIST_DIR}/Scale.cpp)
target_include_directories(kor_raster PUBLIC ${PROJECT_SOURCE_DIR}/include)
target_compile_features(kor_raster PUBLIC cxx_std_20)
# The row loops (masked copy, blending, fills) are written for the vectoriser, whose -O2
# cost model leaves loops of unknown length scalar.
# (Not when the builder asks for no optimisation at all: KOR_OWN_OPTIMISATION.)
if(KOR_OWN_OPTIMISATION)
  target_compile_options(kor_raster PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O3>)
endif()
