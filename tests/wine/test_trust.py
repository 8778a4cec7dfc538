#!/usr/bin/env python3
"""updater.exe's trust checks end to end under Wine: HTTPS from nginx with a test CA, signed
manifests, package digests, a server that sends more than it announced, and a question box
that cannot be shown.

  test_trust.py --bin <build>/bin --work <scratch folder> [--seven-zip <7z.exe>] [unittest args]

Needs root: the test CA goes into the Linux trust store (/usr/local/share/ca-certificates,
update-ca-certificates) before this suite's own Wine prefix is made, and leaves it at the end.
The CA and the prefix are kept in the work folder for the next run. In every refused case the
application folder must stay byte for byte as it was and no program may start: the archiver
is a stand-in that records its calls there, and the run target writes a file there.
"""

import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import time
import unittest

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parents[1]
sys.path.insert(0, str(HERE))
import desktop  # noqa: E402
import rig  # noqa: E402
import test_updater as e2e  # noqa: E402
from test_updater import FAILED, QUESTION, manifest  # noqa: E402

CA_STORE = pathlib.Path("/usr/local/share/ca-certificates")


def ca_in_store(work):
    """The test CA's file in the trust store, named after the work folder: runs from other
    build folders add and remove their own CA at the same time."""
    return CA_STORE / f"updater-trust-test-{hashlib.sha256(bytes(work)).hexdigest()[:12]}.crt"
SIGN = ROOT / "scripts" / "sign-update.sh"
PUBLISH = ROOT / "scripts" / "publish-update.sh"
ENV = e2e.ENV


def openssl(*args, cwd):
    subprocess.run(["openssl", *map(str, args)], cwd=cwd, check=True, capture_output=True)


def make_certificates(folder):
    """ca.crt, localhost.crt signed by it, and untrusted.crt that signs itself; RSA keys."""
    if (folder / "untrusted.crt").is_file():
        return
    folder.mkdir(parents=True, exist_ok=True)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650", "-keyout",
            "ca.key", "-out", "ca.crt", "-subj", "/CN=updater trust test CA", "-addext",
            "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign",
            cwd=folder)
    (folder / "leaf.ext").write_text("subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\n"
                                     "extendedKeyUsage=serverAuth\n")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "localhost.key", "-out",
            "localhost.csr", "-subj", "/CN=localhost", cwd=folder)
    openssl("x509", "-req", "-in", "localhost.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "3650", "-extfile", "leaf.ext", "-out", "localhost.crt",
            cwd=folder)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650", "-keyout",
            "untrusted.key", "-out", "untrusted.crt", "-subj", "/CN=localhost", "-addext",
            "subjectAltName=DNS:localhost", cwd=folder)


class TlsNginx(rig.Nginx):
    """nginx on https for "localhost". /to-http/<path>?port=P redirects to plain http on
    127.0.0.1:P; /again/<path> redirects to /<path> on the same server."""

    def __init__(self, root, workdir, certificate, key):
        super().__init__(root, workdir)
        self.certificate, self.key = certificate, key

    def url(self, relpath):
        return f"https://localhost:{self.port}/{str(relpath).lstrip('/')}"

    def _config(self, port):
        return super()._config(port).replace(f"listen 127.0.0.1:{port};", f"""listen 127.0.0.1:{port} ssl;
        ssl_certificate {self.certificate};
        ssl_certificate_key {self.key};
        location ~ ^/to-http/(?<rest>.*)$ {{ return 302 http://127.0.0.1:$arg_port/$rest; }}
        location ~ ^/again/(?<rest>.*)$ {{ return 302 /$rest; }}""")


def setUpModule():
    if os.geteuid() != 0:
        raise unittest.SkipTest("the test CA must go into the system trust store: run as root")
    args = e2e.ARGS
    work = args.work.resolve()
    certificates = work / "certificates"
    make_certificates(certificates)
    # Wine takes the system's trusted roots into a prefix as it makes it: a new CA needs a
    # new prefix.
    prefix = rig.WinePrefix(work / "prefix")
    ca = (certificates / "ca.crt").read_bytes()
    mark = work / "prefix-ca.crt"
    if not mark.is_file() or mark.read_bytes() != ca:
        shutil.rmtree(prefix.path, ignore_errors=True)
    shutil.copy(certificates / "ca.crt", ca_in_store(work))
    subprocess.run(["update-ca-certificates"], check=True, capture_output=True)
    ENV["ca_added"] = True
    prefix.ensure()
    mark.write_bytes(ca)

    for stale in ("www", "apps", "staging", "keys"):
        shutil.rmtree(work / stale, ignore_errors=True)
        (work / stale).mkdir(parents=True)
    for name in ("good", "other"):
        subprocess.run([SIGN, "keygen", work / "keys" / name], check=True, capture_output=True)
    display = desktop.VirtualDisplay()
    ENV.update(work=work, prefix=prefix, display=display, last_second=0)
    desktop.keep_wine_on_display(prefix, display)
    for name, server in (
            ("nginx", TlsNginx(work / "www", work / "nginx", certificates / "localhost.crt",
                               certificates / "localhost.key")),
            ("untrusted", TlsNginx(work / "www", work / "nginx-untrusted",
                                   certificates / "untrusted.crt", certificates / "untrusted.key")),
            ("fault", rig.FaultServer())):
        server.__enter__()
        ENV[name] = server


def tearDownModule():
    e2e.tearDownModule(("fault", "untrusted", "nginx"))
    if ENV.get("ca_added"):
        ca_in_store(ENV["work"]).unlink(missing_ok=True)
        subprocess.run(["update-ca-certificates", "--fresh"], check=True, capture_output=True)


class TrustCase(e2e.UpdaterCase):
    def use_key(self, name="good"):
        shutil.copy(ENV["work"] / "keys" / name / "update-key.pem", self.app / "update-key.pem")

    def sign(self, rel, key="good"):
        subprocess.run([SIGN, "sign", self.web / rel,
                        ENV["work"] / "keys" / key / "update-private-key.pem"],
                       check=True, capture_output=True)


def with_digest(text, name, sha256):
    return text.replace(f'<item name="{name}"', f'<item sha256="{sha256}" name="{name}"')


def package(case, marker, size=64):
    """A package on the fault server whose request a check can look for, and its digest."""
    case.marker = marker
    return (ENV["fault"].url(f"ok?size={size}&case={marker}"),
            hashlib.sha256(rig.pattern(size)).hexdigest())


def fetched(case):
    return any(f"case={case.marker}" in r.target for r in ENV["fault"].requests)


def serve_signed_over_https(case):
    """A signed manifest whose package address redirects once on the same https server."""
    case.use_key()
    url = e2e.archive(case)
    digest = hashlib.sha256((case.web / "app.7z").read_bytes()).hexdigest()
    address = case.web / "update.xml"
    text = address.read_text().replace(f":{ENV['nginx'].port}/", f":{ENV['nginx'].port}/again/")
    address.write_text(with_digest(text, "app.7z", digest.upper()))
    case.sign("update.xml")
    return url


def serve_refused_https(via):
    def serve(case):
        case.serve_update(package(case, "https")[0])
        return {"untrusted": ENV["untrusted"].url(f"{case.name}/update.xml"),
                "to http": ENV["nginx"].url(
                    f"to-http/{case.name}/update.xml?port={ENV['fault'].port}")}[via]
    return serve


def serve_spoiled_signature(spoil, root="<config>"):
    def serve(case):
        address, digest = package(case, "signed")
        text = with_digest(manifest("2.0", package=("app.7z", address)), "app.7z", digest)
        text = text.replace("<config>", root)
        case.use_key()
        url = case.serve("update.xml", text)
        case.sign("update.xml")
        spoil(case, text)
        return url
    return serve


def flip_manifest_byte(case, text):
    data = bytearray((case.web / "update.xml").read_bytes())
    data[text.index("App.exe")] ^= 0x01
    (case.web / "update.xml").write_bytes(bytes(data))


def serve_stale(case):
    """A signed manifest that expired a minute ago, with a serial above any taken."""
    ended = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(time.time() - 60))
    return serve_spoiled_signature(lambda case, text: None, root=(
        f'<config serial="{int(time.time())}" expires="{ended}">'))(case)


def serve_digest(size, send, wrong):
    def serve(case):
        address, digest = package(case, "digest", size)
        if send != size:
            address = address.replace("ok?", "long?") + f"&send={send}"
        return case.serve("update.xml", with_digest(
            manifest("2.0", package=("app.7z", address)), "app.7z",
            digest[::-1] if wrong else digest))
    return serve


def check_not_fetched(case, result):
    case.assertFalse(fetched(case))


def check_https_refused(case, result):
    # Neither the package nor, through a redirect to http, the manifest reached plain http.
    case.assertFalse(any(case.name in r.target for r in ENV["fault"].requests))
    check_not_fetched(case, result)


def check_wrong_digest(case, result):
    case.assertTrue(fetched(case))
    case.assertFalse((result.work / "app.7z").exists())


REFUSED = dict(boxes=(FAILED,), slow_archiver=True, notified=False, app="old", ran=None,
               check=check_not_fetched)
SCENARIOS = [
    e2e.Scenario("signed_update_over_https_follows_an_https_redirect", serve_signed_over_https,
                 check=lambda case, result: case.assertEqual(
                     (result.work / "update.xml.sig").read_bytes(),
                     (case.web / "update.xml.sig").read_bytes())),
    *[e2e.Scenario(f"refused_{via.replace(' ', '_')}", serve_refused_https(via),
                   **{**REFUSED, "check": check_https_refused}) for via in ("untrusted", "to http")],
    # What CNG's verification must refuse (a missing signature is the native tests' case).
    e2e.Scenario("flipped_manifest_byte", serve_spoiled_signature(flip_manifest_byte), **REFUSED),
    e2e.Scenario("signed_with_another_key", serve_spoiled_signature(
        lambda case, text: case.sign("update.xml", key="other")), **REFUSED),
    e2e.Scenario("expired_manifest", serve_stale,
                 **{**REFUSED, "log": ("manifest refused: it expired at",)}),
    e2e.Scenario("wrong_digest_deletes_the_package", serve_digest(64, 64, wrong=True),
                 **{**REFUSED, "boxes": (QUESTION, FAILED), "check": check_wrong_digest}),
    # A server sending past its length: the digest of the announced 5000 bytes still matches.
    e2e.Scenario("server_sending_past_its_length", serve_digest(5000, 9000, wrong=False),
                 slow_archiver=True, app=None, ran="unpacked by the slow archiver",
                 log=("received 5000,",)),
]


class TrustScenarioTest(TrustCase):
    pass


e2e.add_scenarios(TrustScenarioTest, SCENARIOS)


class ReleaseScriptTest(TrustCase):
    def publish(self, version, app_dir, previous_dir=None):
        """scripts/publish-update.sh with the good key into the web folder's out/."""
        subprocess.run([PUBLISH, "--key", ENV["work"] / "keys" / "good" / "update-private-key.pem",
                        "--version", version, "--app-dir", app_dir, "--run", "App.exe",
                        "--base-url", ENV["nginx"].url(f"{self.name}/out"),
                        "--out", self.web / "out",
                        *(["--previous-dir", previous_dir] if previous_dir else [])],
                       check=True, capture_output=True)
        return ENV["nginx"].url(f"{self.name}/out/update.xml")

    def layout(self, folder, files):
        for rel, content in files.items():
            (folder / rel).parent.mkdir(parents=True, exist_ok=True)
            if isinstance(content, pathlib.Path):
                shutil.copy(content, folder / rel)
            else:
                (folder / rel).write_text(content)

    def test_published_patch_for_a_small_step_whole_archive_for_a_large_one_no_replay(self):
        # The users' key file holds two keys; the release is signed with the second.
        keys = ENV["work"] / "keys"
        (self.app / "update-key.pem").write_text(
            (keys / "other" / "update-key.pem").read_text() +
            (keys / "good" / "update-key.pem").read_text())
        self.use_real_archiver()
        releases = ENV["work"] / "staging" / self.name
        old, middle, new = releases / "1.8", releases / "1.9", releases / "2.0"
        shutil.copytree(self.app, old)
        shutil.copytree(old, middle)
        self.layout(middle, {"data.txt": "version 1.9\n"})
        shutil.copytree(old, new)
        self.layout(new, self.new_app_files())
        self.publish("1.9", middle)
        replay = {name: (self.web / "out" / name).read_bytes()
                  for name in ("update.xml", "update.xml.sig")}
        url = self.publish("2.0", new, previous_dir=old)
        # A web server that runs as another user reads the signature as it reads the manifest.
        self.assertEqual((self.web / "out" / "update.xml.sig").stat().st_mode & 0o777,
                         (self.web / "out" / "update.xml").stat().st_mode & 0o777)
        behind = self.app.parent / (self.name + "-far-behind")
        shutil.copytree(self.app, behind)
        expected = e2e.digest(new)

        for folder, version, package in ((self.app, "1.8", "patch-2.0.7z"),
                                         (behind, "1.0", "full-2.0.7z")):
            self.app = folder
            result = self.run_host(version, url)
            self.assertBoxes(result, (QUESTION,))
            self.assertIn("data=version 2.0", self.wait_for(self.app / "App.exe.ran"))
            # The whole archive holds updater.exe too: the running one stays in its backup.
            self.assertEqual({rel: sha for rel, sha in e2e.digest(self.app).items()
                              if not rel.startswith("UpdateBackup")}, expected)
            self.assertStepsInOrder(self.update_log(result), (
                "the manifest's signature holds (key 2 of 2)", "the manifest expires at",
                f"/{package}", "outcome: archive applied"))
        # The 1.9 manifest, still signed and not expired, is older than the 2.0 one taken.
        for name, data in replay.items():
            (self.web / "out" / name).write_bytes(data)
        # The backup the running updater.exe was left in goes at the next start, refused or not.
        before = {rel: sha for rel, sha in e2e.digest(self.app).items()
                  if not rel.startswith("UpdateBackup")}
        result = self.run_host("1.0", url)
        self.assertBoxes(result, (FAILED,))
        self.assertEqual(result.notices, [])
        self.assertEqual(e2e.digest(self.app), before)
        self.assertStepsInOrder(self.update_log(result), ("manifest refused: serial",))


class NoDisplayTest(TrustCase):
    def test_question_box_that_cannot_be_shown_downloads_nothing(self):
        self.use_slow_archiver()
        url = self.serve_update(package(self, "nodisplay")[0])
        before = e2e.digest(self.app)
        # A session without a display: every box fails, owned or not.
        ENV["prefix"].wineserver_kill()
        try:
            self._settle()
            first = self._next_second()
            result = ENV["prefix"].run(self.app / "updater.exe", [f"1.0#0#{url}"], timeout=60)
            work = self._work_folder(first, int(time.time()))
        finally:
            desktop.keep_wine_on_display(ENV["prefix"], ENV["display"])
        self.assertEqual(result.returncode, 0)
        self.assertTrue((work / "update.xml").is_file())
        self.assertFalse(fetched(self))
        self.assertEqual(e2e.digest(self.app), before)


if __name__ == "__main__":
    e2e.ARGS, argv = e2e.parse_args()
    unittest.main(argv=argv, verbosity=2)
