"""The typed stub that ships with the package says what the package does:
the same names, the same parameters, the same fields of what comes back."""

import ast
import inspect
import os

import pytest

import torvan60

STUB = os.path.join(os.path.dirname(torvan60.__file__), "__init__.pyi")


def stub_tree():
    with open(STUB, encoding="utf-8") as source:
        return ast.parse(source.read())


def stub_classes():
    return {node.name: node for node in stub_tree().body if isinstance(node, ast.ClassDef)}


def parameters(function):
    args = function.args
    return [arg.arg for arg in args.posonlyargs + args.args + args.kwonlyargs]


def test_every_public_name_is_in_the_stub():
    tree = stub_tree()
    names = {node.name for node in tree.body if isinstance(node, (ast.ClassDef, ast.FunctionDef))}
    assert set(torvan60.__all__) <= names


@pytest.mark.parametrize("name", ["open", "list_boards"])
def test_functions_take_what_the_stub_says(name):
    stubbed = next(node for node in stub_tree().body if isinstance(node, ast.FunctionDef) and node.name == name)
    assert parameters(stubbed) == list(inspect.signature(getattr(torvan60, name)).parameters)


def test_board_methods_take_what_the_stub_says():
    stubbed = {node.name: node for node in stub_classes()["Board"].body if isinstance(node, ast.FunctionDef)}
    public = {
        name
        for name, member in inspect.getmembers(torvan60.Board)
        if not name.startswith("_") and (inspect.isfunction(member) or isinstance(member, property))
    }
    assert public <= set(stubbed), public - set(stubbed)
    for name in public:
        member = getattr(torvan60.Board, name)
        if isinstance(member, property):
            continue
        assert parameters(stubbed[name]) == list(inspect.signature(member).parameters), name


def test_exceptions_have_the_stubs_bases():
    classes = stub_classes()
    for name in ["Error", "BoardNotFound", "BoardHeld", "BoardLost", "Refused", "Timeout", "UsageError", "SettingsError"]:
        bases = [base.id for base in classes[name].bases]
        assert bases == [base.__name__ for base in getattr(torvan60, name).__bases__], name


def test_reports_have_the_stubs_fields(board):
    classes = stub_classes()

    def fields(name):
        return {node.target.id for node in classes[name].body if isinstance(node, ast.AnnAssign)}

    assert set(board.status()) == fields("Status")
    assert set(board.status()["inputs"]) == fields("Inputs")
    assert set(board.identity) == fields("Identity")
    assert set(board.firmware_check()) == fields("FirmwareCheck")
    assert set(board.pwm(a=10)) == fields("Pwm")
