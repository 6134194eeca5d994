#!/usr/bin/python3
"""A MODBUS RTU master nobody here wrote, pymodbus, on a line of simulated modules.

    modbus_master.py PORT ADDRESS... [--write ADDRESS REGISTER VALUE]

Prints "ADDRESS: IR0 IR1 | HR0 HR1 HR2 HR3" for each module, after the optional write.
Works with pymodbus 3.0 (Debian 12) and 3.8 (Debian 13): keywords only, as both take them.
"""
import sys

from pymodbus.client import ModbusSerialClient

args = sys.argv[1:]
write = None
if "--write" in args:
    at = args.index("--write")
    write = [int(v) for v in args[at + 1:at + 4]]
    args = args[:at]
port, addresses = args[0], [int(a) for a in args[1:]]

client = ModbusSerialClient(port=port, baudrate=9600, parity="N", stopbits=1, bytesize=8, timeout=1)
if not client.connect():
    sys.exit(f"cannot open {port}")
if write:
    response = client.write_register(write[1], write[2], slave=write[0])
    if response.isError():
        sys.exit(f"write to module {write[0]}: {response}")
for address in addresses:
    inputs = client.read_input_registers(0, count=2, slave=address)
    holding = client.read_holding_registers(0, count=4, slave=address)
    for response in (inputs, holding):
        if response.isError():
            sys.exit(f"module {address}: {response}")
    print(f"{address}: {' '.join(map(str, inputs.registers))} | {' '.join(map(str, holding.registers))}")
client.close()
