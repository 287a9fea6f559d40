# Windows-only extras of the http tests: loopback TLS peers (stunnel, native) that http_tests
# needs, and the transfer benchmark.
set(http_tls_dir "${CMAKE_CURRENT_BINARY_DIR}/http-tls")

# WinInet beside fetch_page, for the tests of what the cache keeps.
target_sources(http_tests PRIVATE http/wininet_probe_win.cpp)

add_executable(http_trust_ca http/trust_ca.cpp)
target_link_libraries(http_trust_ca PRIVATE crypt32)

add_test(NAME http_tls_start
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/http/tls-fixture.sh" start "${http_tls_dir}"
                 "${PROJECT_SOURCE_DIR}/cmake/wine-run" "$<TARGET_FILE:http_trust_ca>")
add_test(NAME http_tls_stop
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/http/tls-fixture.sh" stop "${http_tls_dir}")
set_tests_properties(http_tls_start PROPERTIES FIXTURES_SETUP http_tls TIMEOUT 120)
set_tests_properties(http_tls_stop PROPERTIES FIXTURES_CLEANUP http_tls)
set_tests_properties(http_tests PROPERTIES FIXTURES_REQUIRED http_tls
                     ENVIRONMENT "QUILLMERE_TLS_PORTS=${http_tls_dir}/ports")

# Not a test: tests/http/transfer-bench.sh runs it and prints the figures.
add_executable(http_transfer_bench http/transfer_bench.cpp)
target_link_libraries(http_transfer_bench PRIVATE quillmere_http quillmere_test_support ws2_32 psapi)
