"""The Debian package: a Release build of its own, packed by `cpack -G DEB`,
named talvix_<version>_<arch>.deb, its Depends worked out from the
libraries the player links, its payload the installed tree under /usr,
with files in the folders whose triggers refresh Debian's MIME and desktop
databases; unpacked into a throw-away root, the player there names no
folder of the build and answers --version without a display.

Arguments: the source folder, a build folder for the package, and the
compiler launcher of the main build (may be empty)."""
import os
import re
import subprocess
import sys

from player import Failure, check, environment, fresh_tmpdir

PAYLOAD = [
    "./usr/bin/talvix",
    "./usr/share/applications/talvix.desktop",
    "./usr/share/icons/hicolor/128x128/apps/talvix.png",
    "./usr/share/icons/hicolor/48x48/apps/talvix.png",
    "./usr/share/icons/hicolor/scalable/apps/talvix.svg",
    "./usr/share/man/man1/talvix.1.gz",
    "./usr/share/mime/packages/talvix.xml",
]

# Shared libraries the player links, by the Debian packages that hold them.
LIBRARY_PACKAGES = ["libc6", "libcurl4", "libjpeg62-turbo", "libx11-6", "libxaw7", "libxt6"]


def step(*command, cwd=None):
    done = subprocess.run(command, cwd=cwd, capture_output=True, text=True)
    if done.returncode != 0:
        raise Failure(f"{' '.join(command)}: {done.stdout[-2000:]}{done.stderr[-2000:]}")
    return done.stdout


def build_package(source, build, launcher):
    configure = ["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                 "-DTALVIX_TESTS=OFF", "-DTALVIX_SANITIZE=OFF"]
    if launcher:
        configure.append(f"-DCMAKE_CXX_COMPILER_LAUNCHER={launcher}")
    step(*configure)
    step("cmake", "--build", build, "-j", str(os.cpu_count() or 2))
    for old in os.listdir(build):
        if old.endswith(".deb"):
            os.remove(os.path.join(build, old))
    step("cpack", "-G", "DEB", cwd=build)
    packages = [name for name in os.listdir(build) if name.endswith(".deb")]
    check(len(packages) == 1, f"packages made: {packages}")
    return os.path.join(build, packages[0])


def trigger_folders():
    """The folders Debian's MIME and desktop databases watch, as their
    packages declare them."""
    folders = []
    for package in ["shared-mime-info", "desktop-file-utils"]:
        with open(f"/var/lib/dpkg/info/{package}.triggers") as f:
            folders += re.findall(r"^interest(?:-noawait)?\s+(\S+)", f.read(), re.M)
    return folders


def check_control(deb, version):
    arch = step("dpkg", "--print-architecture").strip()
    check(os.path.basename(deb) == f"talvix_{version}_{arch}.deb", f"package file {deb}")
    fields = {name: step("dpkg-deb", "-f", deb, name).strip()
              for name in ["Package", "Version", "Architecture", "Depends"]}
    check(fields["Package"] == "talvix" and fields["Version"] == version
          and fields["Architecture"] == arch, f"control {fields}")
    depends = {re.match(r"[a-z0-9.+-]+", item.strip()).group(0) for item in fields["Depends"].split(",")}
    check(set(LIBRARY_PACKAGES) <= depends, f"Depends {fields['Depends']}")
    check(not any(package.endswith("-dev") for package in depends), f"Depends {fields['Depends']}")


def check_payload(deb, source):
    examples = ["./usr/share/talvix/examples/" + name
                for name in os.listdir(os.path.join(source, "examples")) if name.endswith(".kiv")]
    listing = step("dpkg-deb", "-c", deb)
    files = sorted(line.split()[-1] for line in listing.splitlines() if not line.startswith("d"))
    check(files == sorted(PAYLOAD + examples), f"payload {files}")
    for folder in trigger_folders():
        check(any(name.startswith("." + folder + "/") for name in files), f"nothing under {folder}")


def package(source, build, launcher):
    with open(os.path.join(source, "CMakeLists.txt")) as f:
        version = re.search(r"project\(talvix VERSION ([0-9.]+)", f.read()).group(1)
    deb = build_package(source, build, launcher)
    check_control(deb, version)
    check_payload(deb, source)
    root = fresh_tmpdir()
    step("dpkg", "-x", deb, root)
    # Nothing in the player may lead back to where it was built.
    with open(os.path.join(root, "usr/bin/talvix"), "rb") as f:
        player = f.read()
    for folder in [source, build]:
        check(os.path.abspath(folder).encode() not in player, f"the player names {folder}")
    done = subprocess.run([os.path.join(root, "usr/bin/talvix"), "--version"],
                          env=environment(DISPLAY=None), capture_output=True, text=True)
    check(done.returncode == 0 and done.stdout.startswith(f"talvix {version}\n"),
          f"unpacked player: {done.returncode} {done.stdout!r} {done.stderr!r}")


if __name__ == "__main__":
    try:
        package(*sys.argv[1:4])
        print("ok   package")
    except Failure as failure:
        print(f"FAIL package: {failure}")
        sys.exit(1)
