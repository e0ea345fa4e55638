#!/usr/bin/env python3
"""What administrators deploy, checked where Wine cannot show it.

    check_deployment.py package MSI
        msiinfo reads the package as Windows Installer would: a per-user
        package that needs no raised rights, Japanese, its text in CP932
        whatever the PC's code page, no ALLUSERS, and the options among the
        properties an install with raised rights (Group Policy's) passes on.
    check_deployment.py policy POLICY-DEFINITIONS RECORDER-EXE
        the administrative template and its two languages are well-formed,
        every text the template names is in each language, and every key
        and value it sets is one the recorder reads: its bytes are in the
        recorder's program.
"""
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
failures = []


def expect(ok, what):
    if not ok:
        failures.append(what)


def msiinfo(*args):
    return subprocess.run(["msiinfo", *args], check=True, capture_output=True, text=True).stdout


def table(package, name):
    lines = msiinfo("export", package, name).splitlines()[3:]
    return [line.split("\t") for line in lines]


def check_package(package):
    summary = dict(line.split(": ", 1) for line in msiinfo("suminfo", package).splitlines() if ": " in line)
    # Word count 10: compressed (2), and no raised rights needed (8).
    expect(summary.get("Source", "").startswith("10 "), "summary's source flags: %r" % summary.get("Source"))
    expect(summary.get("Template") == "Intel;1041", "summary's template: %r" % summary.get("Template"))
    codepage = msiinfo("export", package, "_ForceCodepage")
    expect("932\t_ForceCodepage" in codepage, "database code page: %r" % codepage)
    properties = dict(row[:2] for row in table(package, "Property"))
    expect("ALLUSERS" not in properties, "ALLUSERS is set: a per-machine install")
    secure = properties.get("SecureCustomProperties", "").split(";")
    for option in ("LOGDIR", "LOGNAME", "COLLECT", "ENDATLOCK", "COPYEVERY"):
        expect(option in secure, "%s is not a secure property: %r" % (option, secure))


def check_policy(folder, recorder):
    program = open(recorder, "rb").read()
    admx = ElementTree.parse(folder + "/Morvalen.admx").getroot()
    strings, presentations = set(), set()
    for element in admx.iter():
        for value in element.attrib.values():
            if value.startswith("$(string."):
                strings.add(value[9:-1])
            elif value.startswith("$(presentation."):
                presentations.add(value[15:-1])
    policies = admx.findall("p:policies/p:policy", NS)
    expect(len(policies) == 3, "%d policies, not 3" % len(policies))
    for policy in policies:
        names = [policy.get("key")] + [node.get("valueName") for node in policy.iter() if node.get("valueName")]
        for name in names:
            expect(name.encode("ascii") + b"\0" in program, "the recorder reads no %r" % name)
        expect(policy.get("class") == "Both", "%s is not for machines and users" % policy.get("name"))
    for language in ("ja-JP", "en-US"):
        adml = ElementTree.parse("%s/%s/Morvalen.adml" % (folder, language)).getroot()
        defined = {node.get("id") for node in adml.iterfind("p:resources/p:stringTable/p:string", NS)}
        shown = {node.get("id") for node in adml.iterfind("p:resources/p:presentationTable/p:presentation", NS)}
        expect(strings <= defined, "%s lacks the texts %r" % (language, strings - defined))
        expect(presentations <= shown, "%s lacks the presentations %r" % (language, presentations - shown))


if __name__ == "__main__":
    try:
        {"package": check_package, "policy": check_policy}[sys.argv[1]](*sys.argv[2:])
    except (ElementTree.ParseError, OSError, subprocess.CalledProcessError) as error:
        failures.append(str(error))
    for failure in failures:
        print(failure)
    sys.exit(1 if failures else 0)
