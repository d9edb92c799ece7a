foreach(target prefs_js wine_registry hive)
  pellora_add_fuzzer(fuzz_discovery_${target}
    SOURCES discovery_${target}.cpp ${CMAKE_SOURCE_DIR}/tests/discovery/fuzz_bodies.cpp
    LIBS pellora_discovery)
endforeach()
