<#
.SYNOPSIS
    Intune remediation (remediation script), or a ConfigMgr configuration
    item's remediation script: repairs what Quelvo's Fix Now repairs.

.DESCRIPTION
    Runs quelvo-scan.exe --fix --format json. Every removed key is exported
    first to a .reg file under $BackupFolder (regedit /s puts it back); the
    repair is refused, and nothing written, where the window refuses it.
      exit 0  every broken extension key was removed (or there was none);
      exit 1  a key could not be removed, the repair was refused, or the
              machine could not be checked; the output line says why.
    Extensions that only need an application installed remain; they are
    named in the output.
#>

$QuelvoScan = Join-Path $env:ProgramFiles 'Quelvo\quelvo-scan.exe'
# SYSTEM's own %LOCALAPPDATA% is deep in System32; keep backups where an
# administrator finds them.
$BackupFolder = Join-Path $env:ProgramData 'Quelvo\backups'

if (-not (Test-Path -LiteralPath $QuelvoScan -PathType Leaf)) {
    Write-Output "quelvo-scan.exe is not installed at $QuelvoScan"
    exit 1
}

$output = & $QuelvoScan --fix --format json --backup-dir $BackupFolder 2>&1
$status = $LASTEXITCODE
$json = ($output | Where-Object { $_ -is [string] -and $_.StartsWith('{') }) -join ''
try { $report = $json | ConvertFrom-Json } catch { $report = $null }

if ($null -eq $report -or $status -notin 0, 1, 3) {
    Write-Output "quelvo-scan.exe failed (exit status $status): $($output -join ' ')"
    exit 1
}
if ($report.target.state -ne 'complete') {
    Write-Output "Not repaired, not checked completely ($($report.target.state)): $($report.target.reason)"
    exit 1
}
$repair = $report.repair
$backups = ($repair.backups | ForEach-Object { $_.path }) -join ', '
if ($repair.refused -or $repair.notRemoved.Count -gt 0) {
    Write-Output "Not repaired: $($repair.message -replace '\s+', ' ')"
    exit 1
}
$needing = ($report.extensions | Where-Object { $_.class -eq 'needs-application' } | ForEach-Object { $_.name }) -join ' '
Write-Output ("Removed $($repair.removed.Count) key(s)" + $(if ($backups) { ", backup $backups" } else { '' }) +
              $(if ($needing) { "; still needing an application: $needing" } else { '' }))
exit 0
