<#
.SYNOPSIS
    ConfigMgr configuration item (discovery script, data type Integer):
    the number of broken extension keys on this machine.

.DESCRIPTION
    Writes one integer: the registry problems quelvo-scan.exe found (what
    its --fix, and Remediate-QuelvoAssociations.ps1, repairs). Compliance
    rule: the value equals 0. A machine that could not be checked
    completely writes -1, which no "equals 0" rule takes as compliant.
#>

$QuelvoScan = Join-Path $env:ProgramFiles 'Quelvo\quelvo-scan.exe'

if (-not (Test-Path -LiteralPath $QuelvoScan -PathType Leaf)) { Write-Output -1; exit 0 }
$output = & $QuelvoScan --format json 2>$null
$status = $LASTEXITCODE
try { $report = ($output -join '') | ConvertFrom-Json } catch { $report = $null }
if ($null -eq $report -or $status -notin 0, 1 -or $report.target.state -ne 'complete') {
    Write-Output -1
} else {
    Write-Output $report.counts.registryProblems
}
exit 0
