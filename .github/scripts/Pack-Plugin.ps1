# Installs the module and its data into OBS's own folder layout and zips them:
#   pwsh .github/scripts/Pack-Plugin.ps1 -Build build-windows -Zip clackery-windows-x64.zip
param(
	[Parameter(Mandatory)][string]$Build,
	[string]$Config = 'RelWithDebInfo',
	[Parameter(Mandatory)][string]$Zip
)

$ErrorActionPreference = 'Stop'
$PSNativeCommandUseErrorActionPreference = $true
Add-Type -AssemblyName System.IO.Compression, System.IO.Compression.FileSystem

$package = Join-Path ([IO.Path]::GetTempPath()) 'clackery-package'
if (Test-Path -LiteralPath $package) { Remove-Item -Recurse -Force -LiteralPath $package }
cmake --install $Build --config $Config --prefix $package
if ($LASTEXITCODE -ne 0) { throw "installing into $package failed (exit code $LASTEXITCODE)" }

# .NET, not Compress-Archive: its entries are named with forward slashes on every version.
$zipPath = $ExecutionContext.SessionState.Path.GetUnresolvedProviderPathFromPSPath($Zip)
if (Test-Path -LiteralPath $zipPath) { Remove-Item -Force -LiteralPath $zipPath }
[IO.Compression.ZipFile]::CreateFromDirectory($package, $zipPath, [IO.Compression.CompressionLevel]::Optimal, $false)
Write-Host "Packed $zipPath"
