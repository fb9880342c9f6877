# Makes the SDK that clackery.dll is built against, from the pins in buildspec.json: OBS's prebuilt
# dependencies and Qt 6 (obs-deps), and libobs with the frontend API built from OBS's sources by
# Visual Studio 2022. Every download is checked against its SHA-256 before it is opened.
#
#   pwsh .github/scripts/Build-ObsSdk.ps1 -Destination C:\obs-sdk
#
# The result: <Destination>\obs (libobs, the frontend API, their package files and DLLs),
# <Destination>\deps (obs-deps) and <Destination>\qt6, which the windows-x64 preset finds through
# CLACKERY_OBS_SDK=<Destination>; <Destination>\sdk.json says what went in.
param(
	[Parameter(Mandatory)][string]$Destination,
	[string]$Config = 'RelWithDebInfo',
	[string]$Work = (Join-Path ([IO.Path]::GetTempPath()) 'clackery-obs-sdk'),
	# A release refuses a download that neither buildspec.json nor OBS's own buildspec vouches for.
	[switch]$RequirePinned
)

$ErrorActionPreference = 'Stop'
# PowerShell 7.4 and later stop at a failing native command by themselves; Assert-Exit says which
# step failed on any version.
$PSNativeCommandUseErrorActionPreference = $true
$ProgressPreference = 'SilentlyContinue'
Add-Type -AssemblyName System.IO.Compression, System.IO.Compression.FileSystem

function Assert-Exit([string]$What) {
	if ($LASTEXITCODE -ne 0) { throw "$What failed (exit code $LASTEXITCODE)" }
}

$root = Resolve-Path (Join-Path $PSScriptRoot '..' '..')
$pins = Get-Content -Raw (Join-Path $root 'buildspec.json') | ConvertFrom-Json
$report = [System.Collections.Generic.List[object]]::new()

# Downloads $Url to $Path and returns its SHA-256 once it matches $Expected. $Source says who
# vouches for $Expected; with none, the hash seen is reported as unpinned (or refused).
function Get-Checked([string]$What, [string]$Url, [string]$Path, [string]$Expected, [string]$Source) {
	Write-Host "Downloading $What from $Url"
	Invoke-WebRequest -Uri $Url -OutFile $Path
	$actual = (Get-FileHash -Algorithm SHA256 -LiteralPath $Path).Hash.ToLowerInvariant()
	if ($Expected) {
		if ($actual -ne $Expected.ToLowerInvariant()) {
			throw "$What ($Url): SHA-256 $actual, but $Source pins $Expected"
		}
		Write-Host "$What`: SHA-256 $actual, as $Source pins"
		$status = "checked against $Source"
	} elseif ($RequirePinned) {
		throw "$What ($Url) has no SHA-256 in buildspec.json (this download: $actual); a release takes only pinned downloads"
	} else {
		Write-Host "::warning title=Unpinned download::$What ($Url) has no SHA-256 in buildspec.json; this run saw $actual. Pin it there."
		$status = 'NOT PINNED: the hash seen, to be checked and pinned'
	}
	$report.Add([pscustomobject]@{ What = $What; Url = $Url; Sha256 = $actual; Status = $status })
	return $actual
}

function Expand-Zip([string]$Zip, [string]$Into) {
	if (Test-Path -LiteralPath $Into) { Remove-Item -Recurse -Force -LiteralPath $Into }
	[IO.Compression.ZipFile]::ExtractToDirectory($Zip, $Into)
}

New-Item -ItemType Directory -Force $Work, $Destination | Out-Null
# .NET resolves relative paths against the process's folder, not PowerShell's.
$Destination = (Resolve-Path $Destination).Path
$Work = (Resolve-Path $Work).Path
$obsVersion = $pins.'obs-studio'.version

# OBS's sources first: their buildspec.json names the obs-deps set libobs is meant to build with
# (and its configure fetches that set again for itself); a different set of ours would leave
# libobs and clackery.dll on two Qt builds.
$obsZip = Join-Path $Work "obs-studio-$obsVersion.zip"
Get-Checked "OBS Studio $obsVersion sources" $pins.'obs-studio'.url $obsZip $pins.'obs-studio'.sha256 'buildspec.json' | Out-Null
$sources = Join-Path $Work 'sources'
Expand-Zip $obsZip $sources
$obsSource = Join-Path $sources "obs-studio-$obsVersion"
$obsBuildspec = Get-Content -Raw (Join-Path $obsSource 'buildspec.json') | ConvertFrom-Json

foreach ($entry in @(@{ Ours = 'obs-deps'; Theirs = 'prebuilt'; Folder = 'deps' }, @{ Ours = 'qt6'; Theirs = 'qt6'; Folder = 'qt6' })) {
	$ours = $pins.($entry.Ours)
	$theirs = $obsBuildspec.dependencies.($entry.Theirs)
	if (-not $theirs -or -not $theirs.version) {
		throw "OBS $obsVersion's buildspec.json has no dependencies.$($entry.Theirs).version: read it and update this script"
	}
	if ($ours.version -ne $theirs.version) {
		throw "buildspec.json pins $($entry.Ours) $($ours.version), but OBS $obsVersion builds with $($theirs.version)"
	}
	$theirHash = $theirs.hashes.'windows-x64'
	if ($ours.sha256 -and $theirHash -and $ours.sha256.ToLowerInvariant() -ne $theirHash.ToLowerInvariant()) {
		throw "buildspec.json pins $($entry.Ours) at SHA-256 $($ours.sha256), OBS $obsVersion at $theirHash"
	}
	$expected = if ($ours.sha256) { $ours.sha256 } else { $theirHash }
	$source = if ($ours.sha256) { 'buildspec.json' } else { "OBS $obsVersion's buildspec.json" }
	$zip = Join-Path $Work ([IO.Path]::GetFileName($ours.url))
	Get-Checked "$($entry.Ours) $($ours.version)" $ours.url $zip $expected $source | Out-Null
	Expand-Zip $zip (Join-Path $Destination $entry.Folder)
}

# The Qt that buildspec.json names is the Qt of the set.
# (Qt 6 writes it into Qt6ConfigVersionImpl.cmake, or Qt6ConfigVersion.cmake itself.)
$qtVersion = Get-ChildItem -LiteralPath (Join-Path $Destination 'qt6') -Recurse -Include 'Qt6ConfigVersion.cmake', 'Qt6ConfigVersionImpl.cmake' |
	Select-String -Pattern 'set\(PACKAGE_VERSION "([0-9.]+)"\)' | Select-Object -First 1 |
	ForEach-Object { $_.Matches[0].Groups[1].Value }
if ($qtVersion -ne $pins.qt6.qt) {
	throw "buildspec.json says the Qt set holds Qt $($pins.qt6.qt); its Qt6ConfigVersion files say '$qtVersion'"
}
Write-Host "Qt $qtVersion"

# CMake takes forward slashes; a backslash in a list it passes on may read as an escape.
$deps = (Join-Path $Destination 'deps').Replace('\', '/')
$qt = (Join-Path $Destination 'qt6').Replace('\', '/')
$obs = Join-Path $Destination 'obs'
$build = Join-Path $obsSource 'build_x64'

# libobs and the frontend API only, as OBS's plug-in template builds them.
cmake -S $obsSource -B $build -G 'Visual Studio 17 2022' -A x64 `
	-DOBS_CMAKE_VERSION:STRING=3.0.0 -DENABLE_PLUGINS:BOOL=OFF -DENABLE_UI:BOOL=OFF `
	"-DOBS_VERSION_OVERRIDE:STRING=$obsVersion" "-DCMAKE_PREFIX_PATH=$deps;$qt"
Assert-Exit 'configuring OBS'
cmake --build $build --target obs-frontend-api --config $Config --parallel
Assert-Exit 'building libobs and the frontend API'
cmake --install $build --component Development --config $Config --prefix $obs
Assert-Exit 'installing libobs and the frontend API'

# OBS 30's CMake 3 scripts put the package files in <prefix>\cmake\<name>\, where find_package
# does not look by itself: the preset adds <prefix>\cmake to its search (OBS 31 moved them).
foreach ($name in 'libobs', 'obs-frontend-api') {
	$found = Get-ChildItem -LiteralPath $obs -Recurse -Filter "$name*Config.cmake" | Select-Object -First 1
	if (-not $found) { throw "no $name package file under $obs" }
	Write-Host "$name`: $($found.FullName)"
}

# The Development component carries no DLLs; the unit tests that link libobs need them (and
# w32-pthreads.dll, where libobs links it as a DLL).
$bin = New-Item -ItemType Directory -Force (Join-Path $obs 'bin')
foreach ($dll in 'obs.dll', 'obs-frontend-api.dll', 'w32-pthreads.dll') {
	$found = Get-ChildItem -LiteralPath $build -Recurse -Filter $dll |
		Where-Object { $_.FullName -match "\\$Config\\" } | Select-Object -First 1
	if ($found) { Copy-Item -LiteralPath $found.FullName -Destination $bin.FullName -Force }
	elseif ($dll -ne 'w32-pthreads.dll') { throw "no $dll built under $build" }
}

$sdk = [pscustomobject]@{
	obs = $obsVersion
	'obs-deps' = $pins.'obs-deps'.version
	qt6 = $pins.qt6.version
	qt = $pins.qt6.qt
	config = $Config
	downloads = $report
}
$sdk | ConvertTo-Json -Depth 4 | Set-Content -Encoding utf8 (Join-Path $Destination 'sdk.json')

if ($env:GITHUB_STEP_SUMMARY) {
	$lines = @('### OBS SDK downloads', '', '| Download | SHA-256 | |', '|---|---|---|')
	foreach ($row in $report) { $lines += "| [$($row.What)]($($row.Url)) | ``$($row.Sha256)`` | $($row.Status) |" }
	$lines | Add-Content -Encoding utf8 $env:GITHUB_STEP_SUMMARY
}
Write-Host "OBS SDK ready in $Destination"
