# Checks what a user unpacks into OBS: the zip's layout, the DLL's version resource, and (through
# tests/windows/check_dll.mjs and dumpbin) its exports and the DLLs it loads.
#   pwsh .github/scripts/Test-Package.ps1 -Zip clackery-windows-x64.zip -Build build-windows -Sdk <SDK>
# The DLL is loaded once, to ask it which libobs it declares: OBS's DLLs and Qt's must be on PATH.
param(
	[Parameter(Mandatory)][string]$Zip,
	[Parameter(Mandatory)][string]$Build,
	# The SDK it was built against (Build-ObsSdk.ps1's destination), for the libobs version.
	[Parameter(Mandatory)][string]$Sdk
)

$ErrorActionPreference = 'Stop'
# Every problem is listed before the step fails: the native commands' exit codes are read below.
$PSNativeCommandUseErrorActionPreference = $false
Add-Type -AssemblyName System.IO.Compression, System.IO.Compression.FileSystem

$root = (Resolve-Path (Join-Path $PSScriptRoot '..' '..')).Path
$zipPath = $ExecutionContext.SessionState.Path.GetUnresolvedProviderPathFromPSPath($Zip)
$problems = [System.Collections.Generic.List[string]]::new()

# OBS's layout: the module in obs-plugins/64bit, its data in data/obs-plugins/clackery, nothing else.
$archive = [IO.Compression.ZipFile]::OpenRead($zipPath)
try { $names = @($archive.Entries | ForEach-Object { $_.FullName }) } finally { $archive.Dispose() }
Write-Host "$($names.Count) entries in $Zip"
foreach ($name in $names) {
	if ($name.Contains('\')) {
		$problems.Add("an entry named with a backslash, which other unzippers take for part of the name: $name")
	} elseif ($name -cnotmatch '^(obs-plugins/64bit/clackery\.(dll|pdb)|data/obs-plugins/clackery/.*)$') {
		$problems.Add("an entry outside OBS's plug-in folders: $name")
	}
}
foreach ($required in 'obs-plugins/64bit/clackery.dll', 'obs-plugins/64bit/clackery.pdb',
	'data/obs-plugins/clackery/overlay/overlay.html', 'data/obs-plugins/clackery/layouts/jis_tkl.json',
	'data/obs-plugins/clackery/sounds/shizuka/pack.json', 'data/obs-plugins/clackery/locale/en-US.ini') {
	if ($names -cnotcontains $required) { $problems.Add("missing from the zip: $required") }
}

# The DLL as shipped, out of the zip.
$unpacked = Join-Path ([IO.Path]::GetTempPath()) 'clackery-unpacked'
if (Test-Path -LiteralPath $unpacked) { Remove-Item -Recurse -Force -LiteralPath $unpacked }
[IO.Compression.ZipFile]::ExtractToDirectory($zipPath, $unpacked)
$dll = Join-Path $unpacked 'obs-plugins\64bit\clackery.dll'
if (-not (Test-Path -LiteralPath $dll)) { throw "no clackery.dll in $Zip" }

# The version resource carries the project's version, as CMake knew it.
$cache = Join-Path $Build 'CMakeCache.txt'
$line = Select-String -LiteralPath $cache -Pattern '^CMAKE_PROJECT_VERSION:STATIC=(.+)$' | Select-Object -First 1
if (-not $line) { throw "no CMAKE_PROJECT_VERSION in $cache" }
$version = $line.Matches[0].Groups[1].Value.Trim()
$info = [Diagnostics.FileVersionInfo]::GetVersionInfo($dll)
Write-Host "clackery.dll: ProductVersion '$($info.ProductVersion)', FileVersion '$($info.FileVersion)', $($info.FileMajorPart).$($info.FileMinorPart).$($info.FileBuildPart).$($info.FilePrivatePart); the project: $version"
if ($info.ProductVersion -ne $version) { $problems.Add("ProductVersion '$($info.ProductVersion)', not the project's $version") }
if ($info.FileVersion -ne $version) { $problems.Add("FileVersion '$($info.FileVersion)', not the project's $version") }
$parts = @($version.Split('.') | ForEach-Object { [int]$_ }) + @(0, 0, 0, 0)
if ($info.FileMajorPart -ne $parts[0] -or $info.FileMinorPart -ne $parts[1] -or $info.FileBuildPart -ne $parts[2]) {
	$problems.Add("the fixed file version is $($info.FileMajorPart).$($info.FileMinorPart).$($info.FileBuildPart), not $version")
}
if ($info.ProductName -ne 'Clackery') { $problems.Add("ProductName '$($info.ProductName)', not Clackery") }

# Exports and dependencies, read by Microsoft's dumpbin.
$vswhere = Join-Path ${env:ProgramFiles(x86)} 'Microsoft Visual Studio\Installer\vswhere.exe'
$dumpbin = @(& $vswhere -latest -products * -requires Microsoft.VisualStudio.Component.VC.Tools.x86.x64 `
		-find 'VC\Tools\MSVC\**\bin\Hostx64\x64\dumpbin.exe') | Select-Object -First 1
if ($LASTEXITCODE -ne 0 -or -not $dumpbin) { throw "vswhere found no dumpbin.exe (exit code $LASTEXITCODE)" }
node (Join-Path $root 'tests\windows\check_dll.mjs') --dumpbin $dumpbin $dll
if ($LASTEXITCODE -ne 0) { $problems.Add('the exports or dependencies are wrong (above)') }

# OBS 32 and later refuse a module that declares a newer libobs than theirs: the DLL must declare
# at most the libobs it was built against, so that every OBS from that one on loads it.
$header = Get-ChildItem -LiteralPath (Join-Path $Sdk 'obs') -Recurse -Filter obs-config.h | Select-Object -First 1
if (-not $header) { throw "no obs-config.h in the SDK's obs folder" }
$config = Get-Content -Raw -LiteralPath $header.FullName
$api = foreach ($part in 'MAJOR', 'MINOR', 'PATCH') {
	if ($config -notmatch "#define LIBOBS_API_${part}_VER\s+(\d+)") { throw "no LIBOBS_API_${part}_VER in the SDK's obs-config.h" }
	[uint32]$Matches[1]
}
$built = ($api[0] -shl 24) -bor ($api[1] -shl 16) -bor $api[2]
Add-Type -TypeDefinition @'
using System;
using System.Runtime.InteropServices;
public static class ClackeryModuleProbe {
	[UnmanagedFunctionPointer(CallingConvention.Cdecl)]
	public delegate uint Version();
	public static uint DeclaredVersion(string path) {
		IntPtr module = NativeLibrary.Load(path);
		return Marshal.GetDelegateForFunctionPointer<Version>(NativeLibrary.GetExport(module, "obs_module_ver"))();
	}
}
'@
$show = { param($v) '{0}.{1}.{2}' -f ($v -shr 24), (($v -shr 16) -band 0xFF), ($v -band 0xFFFF) }
try {
	$declared = [ClackeryModuleProbe]::DeclaredVersion($dll)
	Write-Host "obs_module_ver(): $(& $show $declared); built against libobs $(& $show $built)"
	if ($declared -gt $built) {
		$problems.Add("obs_module_ver() declares libobs $(& $show $declared), newer than the $(& $show $built) it was built against: OBS 32 and later refuse it below that")
	}
} catch {
	$problems.Add("clackery.dll could not be loaded to ask its obs_module_ver(): $($_.Exception.InnerException.Message ?? $_.Exception.Message)")
}

if ($problems.Count -gt 0) {
	$problems | ForEach-Object { Write-Host "::error title=Package check::$_" }
	throw "$($problems.Count) problem(s) with $Zip"
}
Write-Host "The zip and clackery.dll are as OBS expects them."
