# make test  — install what is missing, build both presets, run every test under Wine
# make demo  — install what is missing, build, and scan a demo registry
# make build — build both presets
# make fuzz  — build the host preset and fuzz each target for FUZZ_SECONDS (default 600), keeping new corpus entries
# make release — build what is missing and write the release into dist/ (README.md, "Release"; needs RELEASE_KEY)

.PHONY: all bootstrap build build-win64 build-win32 build-host test fuzz demo release clean

all: build

bootstrap:
	@scripts/bootstrap

build-win64: bootstrap
	@cmake --preset win64 >/dev/null
	@cmake --build --preset win64

build-win32: bootstrap
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32

build-host: bootstrap
	@cmake --preset host >/dev/null
	@cmake --build --preset host

build: build-win64 build-win32

test: build build-host
	@scripts/run-tests

fuzz: build-host
	@scripts/fuzz run

demo: build-win64
	@demo/run-demo build/win64

release: bootstrap
	@scripts/release

clean:
	rm -rf build/win64 build/win32 build/host
