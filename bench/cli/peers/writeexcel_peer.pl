#!/usr/bin/perl
# The transfer file as an .xls workbook written by Spreadsheet::WriteExcel.
# Usage: writeexcel_peer.pl INPUT OUTPUT
use strict;
use warnings;
use Encode qw(decode);
use Spreadsheet::WriteExcel;

my ($source, $target) = @ARGV;
my @header = ('Entidad ordenante', 'Oficina ordenante', "Fecha presentaci\x{f3}n", 'Importe',
              "Ref. operaci\x{f3}n", 'Nombre ordenante', 'Observaciones 1', 'Observaciones 2');

open(my $in, '<:raw', $source) or die "cannot open $source: $!";
my $data = do { local $/; <$in> };
close $in;
$data =~ s/\r\n/\r/g;

my $book = Spreadsheet::WriteExcel->new($target) or die "cannot create $target: $!";
my $bold = $book->add_format(bold => 1);
my $text = $book->add_format(num_format => '@');
my $money = $book->add_format(num_format => '##,##0.00');

# unpack's "A" drops trailing spaces; leading ones go here. Fields stay byte strings, which
# WriteExcel stores as Latin-1; only those holding one of Windows-1252's own characters (such as
# the euro sign) are decoded, to go out as UTF-16.
sub clean {
    my $s = shift;
    return '' unless defined $s;
    $s =~ s/^ +//;
    $s = decode('cp1252', $s) if $s =~ /[\x80-\x9f]/;
    return $s;
}

my ($sheet, $row);
for my $line (split /\r/, $data) {
    my $kind = substr($line, 0, 2);
    if ($kind eq '11') {
        my $name = 'Cuenta: ' . substr($line . (' ' x 20), 2, 18);
        $name =~ s/ +$//;
        $name =~ s/[:\\\/?*\[\]]//g;
        $sheet = $book->add_worksheet(substr($name, 0, 31));
        $sheet->set_column('C:C', undef, $text);
        $sheet->set_column('D:D', undef, $money);
        $sheet->write_string(0, $_, $header[$_], $bold) for 0 .. 7;
        $row = 1;
    } elsif ($kind eq '22' && $sheet) {
        my ($bank, $branch, $year, $month, $day, $whole, $cents, $reference) =
            map { clean($_) } unpack('x2 A4 A4 x10 A4 A2 A2 a8 a2 x3 A11', $line);
        $row++;
        $sheet->write_string($row, 0, $bank) if $bank ne '';
        $sheet->write_string($row, 1, $branch) if $branch ne '';
        $sheet->write_string($row, 2, "$day/$month/$year", $text);
        my $amount = "$whole.$cents";
        $amount =~ s/ //g;
        $sheet->write_number($row, 3, $amount + 0, $money) if $amount =~ /^\d+\.\d*$/;
        $sheet->write_string($row, 4, $reference) if $reference ne '';
    } elsif ($kind eq '23' && $sheet) {
        my @values = map { clean($_) } unpack('x2 A30 A20 A20', $line);
        for my $i (0 .. 2) {
            $sheet->write_string($row, 5 + $i, $values[$i]) if $values[$i] ne '';
        }
    }
}
$book->close() or die "cannot write $target: $!";
