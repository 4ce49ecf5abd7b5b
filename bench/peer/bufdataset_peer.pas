{ The peer of datapacket_bench: Free Pascal's TBufDataset (fcl-db) with the
  same 100,000-record movement table (branch, payment name, amount,
  date-time, item count), written and read as XML and binary packets in
  memory. Prints, per operation, the median wall and CPU times of the
  repetitions, and for a load the heap the loaded table holds and the most
  the load had allocated at once (its peak, from one more load after the
  timed ones). With an argument "xml" or "binary" it does only that form, so
  that the peak resident size of the program can be taken for one form.
  Built and run by bench/peer/run.sh. }
program bufdataset_peer;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, DB, BufDataset, XMLDatapacketReader, Linux, UnixType;

const
  Rows = 100000;
  Repetitions = 5;

function ClockMs(Clock: clockid_t): Double;
var
  ts: TTimeSpec;
begin
  clock_gettime(Clock, @ts);
  Result := ts.tv_sec * 1000.0 + ts.tv_nsec / 1000000.0;
end;

function HeapUsed: Int64;
begin
  Result := GetFPCHeapStatus.CurrHeapUsed;
end;

{ The peak of the heap in use while a load runs: the heap manager's own count
  sampled after every allocation, through a memory manager that hands each
  call on to the standard one. Installed only around the measuring load. }
var
  BaseManager: TMemoryManager;
  PeakUsed: PtrUInt;

procedure SamplePeak;
var
  Used: PtrUInt;
begin
  Used := BaseManager.GetFPCHeapStatus().CurrHeapUsed;
  if Used > PeakUsed then
    PeakUsed := Used;
end;

function SampledGetmem(Size: PtrUInt): Pointer;
begin
  Result := BaseManager.Getmem(Size);
  SamplePeak;
end;

function SampledAllocMem(Size: PtrUInt): Pointer;
begin
  Result := BaseManager.AllocMem(Size);
  SamplePeak;
end;

function SampledReAllocMem(var p: Pointer; Size: PtrUInt): Pointer;
begin
  Result := BaseManager.ReAllocMem(p, Size);
  SamplePeak;
end;

procedure StartPeak;
var
  Sampled: TMemoryManager;
begin
  GetMemoryManager(BaseManager);
  Sampled := BaseManager;
  Sampled.Getmem := @SampledGetmem;
  Sampled.AllocMem := @SampledAllocMem;
  Sampled.ReAllocMem := @SampledReAllocMem;
  PeakUsed := HeapUsed;
  SetMemoryManager(Sampled);
end;

procedure StopPeak;
begin
  SetMemoryManager(BaseManager);
end;

procedure Define(T: TBufDataset);
begin
  T.FieldDefs.Add('CDFILIAL', ftString, 4);
  T.FieldDefs.Add('NMTIPORECE', ftString, 40);
  T.FieldDefs.Add('VRMOVIVEND', ftFloat);
  T.FieldDefs.Add('DTHRINCMOV', ftDateTime);
  T.FieldDefs.Add('QTITENS', ftInteger);
  T.CreateDataset;
end;

procedure Fill(T: TBufDataset);
var
  i: Integer;
  Start: TDateTime;
begin
  Start := EncodeDate(2024, 1, 5) + EncodeTime(8, 0, 0, 0);
  for i := 0 to Rows - 1 do
  begin
    T.Append;
    T.Fields[0].AsString := '0001';
    if i mod 3 = 0 then
      T.Fields[1].AsString := 'Cart'#$E3'o de cr'#$E9'dito'
    else
      T.Fields[1].AsString := 'Dinheiro';
    T.Fields[2].AsFloat := i * 0.37;
    T.Fields[3].AsDateTime := Start + i / 86400.0;
    if i mod 10 <> 0 then
      T.Fields[4].AsInteger := i mod 50;
    T.Post;
  end;
  T.MergeChangeLog;
end;

procedure Sort(var A: array of Double);
var
  i, j: Integer;
  x: Double;
begin
  for i := 1 to High(A) do
  begin
    x := A[i];
    j := i - 1;
    while (j >= 0) and (A[j] > x) do
    begin
      A[j + 1] := A[j];
      Dec(j);
    end;
    A[j + 1] := x;
  end;
end;

procedure Report(const Name: string; var Wall, Cpu: array of Double; Extra: string);
begin
  Sort(Wall);
  Sort(Cpu);
  WriteLn(Format('%-12s %9.1f ms wall %9.1f ms CPU%s',
    [Name, Wall[Length(Wall) div 2], Cpu[Length(Cpu) div 2], Extra]));
end;

procedure MeasureSave(Source: TBufDataset; Fmt: TDataPacketFormat; const Name: string;
  Packet: TMemoryStream);
var
  Wall, Cpu: array[0..Repetitions - 1] of Double;
  r: Integer;
  w0, c0: Double;
begin
  for r := 0 to Repetitions - 1 do
  begin
    Packet.Clear;
    w0 := ClockMs(CLOCK_MONOTONIC);
    c0 := ClockMs(CLOCK_PROCESS_CPUTIME_ID);
    Source.SaveToStream(Packet, Fmt);
    Cpu[r] := ClockMs(CLOCK_PROCESS_CPUTIME_ID) - c0;
    Wall[r] := ClockMs(CLOCK_MONOTONIC) - w0;
  end;
  Report(Name, Wall, Cpu, Format('   (%d bytes)', [Packet.Size]));
end;

procedure MeasureLoad(Fmt: TDataPacketFormat; const Name: string; Packet: TMemoryStream);
var
  Wall, Cpu: array[0..Repetitions - 1] of Double;
  r: Integer;
  w0, c0: Double;
  Before, Held, Peak: Int64;
  T: TBufDataset;
begin
  Held := 0;
  for r := 0 to Repetitions - 1 do
  begin
    Packet.Position := 0;
    Before := HeapUsed;
    T := TBufDataset.Create(nil);
    w0 := ClockMs(CLOCK_MONOTONIC);
    c0 := ClockMs(CLOCK_PROCESS_CPUTIME_ID);
    T.LoadFromStream(Packet, Fmt);
    Cpu[r] := ClockMs(CLOCK_PROCESS_CPUTIME_ID) - c0;
    Wall[r] := ClockMs(CLOCK_MONOTONIC) - w0;
    Held := HeapUsed - Before;
    if T.RecordCount <> Rows then
      raise Exception.Create('wrong record count');
    T.Free;
  end;
  Packet.Position := 0;
  Before := HeapUsed;
  StartPeak;
  T := TBufDataset.Create(nil);
  T.LoadFromStream(Packet, Fmt);
  StopPeak;
  Peak := PeakUsed - Before;
  T.Free;
  Report(Name, Wall, Cpu, Format('   table holds %.1f MiB, peak %.1f MiB',
    [Held / 1048576.0, Peak / 1048576.0]));
end;

var
  Source: TBufDataset;
  Packet: TMemoryStream;
  Only: string;
begin
  Only := ParamStr(1);
  Source := TBufDataset.Create(nil);
  Define(Source);
  Fill(Source);
  Packet := TMemoryStream.Create;
  if Only <> 'binary' then
  begin
    MeasureSave(Source, dfXML, 'XML save', Packet);
    MeasureLoad(dfXML, 'XML load', Packet);
  end;
  if Only <> 'xml' then
  begin
    MeasureSave(Source, dfBinary, 'binary save', Packet);
    MeasureLoad(dfBinary, 'binary load', Packet);
  end;
  Packet.Free;
  Source.Free;
end.
